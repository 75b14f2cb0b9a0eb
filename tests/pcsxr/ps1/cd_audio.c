// CD audio: the program drives the CD controller itself and plays, one after another, the XA
// stereo channel, the XA mono channel and the CD-DA track of the test disc (make-test-disc
// says what each holds), each for 1.5 s of emulated time (the drive's) with 0.5 s of silence
// around it.
// The sound chip's CD volumes are 0x4000 left and 0x6000 right (half and three quarters); the
// controller's own matrix is set to pass left to left and right to right unchanged.
#include "spu_hw.h"
#include "sput.h"

enum { kPlayMs = 1500, kGapMs = 500 };
enum { CD_GETSTAT = 0x01, CD_SETLOC = 0x02, CD_PLAY = 0x03, CD_PAUSE = 0x09, CD_INIT = 0x0A,
       CD_DEMUTE = 0x0C, CD_SETFILTER = 0x0D, CD_SETMODE = 0x0E, CD_READS = 0x1B };
enum { INT_COMPLETE = 2, INT_ACKNOWLEDGE = 3 };
#define CD_WAIT_LIMIT_TICKS (2000u * TICKS_PER_MS)
#define MODE_CDDA 0x01
#define MODE_XA 0xC8  // double speed, XA-ADPCM on, channel filter on
// The XA stream starts at file sector 1000, disc address 1150 = 00:15:25 (in BCD).
static const uint8_t kXaStart[3] = {0x00, 0x15, 0x25};

// Waits for the controller's next interrupt, reads the response and acknowledges it. Returns
// the interrupt type (0 if none came within the limit).
static int cdInterruptPending(void) { return CD_REG3 & 7; }

static int cdInterrupt(void) {
    CD_STATUS = 1;
    if (!waitFor(cdInterruptPending, CD_WAIT_LIMIT_TICKS)) return 0;
    const int type = CD_REG3 & 7;
    while (CD_STATUS & CD_RESPONSE_READY) (void)CD_REG1;
    CD_REG3 = 0x1F;
    return type;
}

// Sends a command and returns its first interrupt (3 when the controller accepted it).
static int cdCommand(uint8_t command, const uint8_t* params, int count) {
    for (uint32_t spins = 0; (CD_STATUS & CD_BUSY) && spins < 1000000u; ++spins) {}
    CD_STATUS = 1;
    CD_REG3 = 0x1F;  // nothing left pending from sectors read before
    CD_STATUS = 0;
    for (int i = 0; i < count; ++i) CD_REG2 = params[i];
    CD_REG1 = command;
    return cdInterrupt();
}

// Commands that finish later (Init, Pause) answer twice: accepted, then complete.
static int cdCommandComplete(uint8_t command) {
    return cdCommand(command, 0, 0) == INT_ACKNOWLEDGE && cdInterrupt() == INT_COMPLETE;
}

static void cdMatrixUnity(void) {
    CD_STATUS = 2;
    CD_REG2 = 0x80;  // left to left
    CD_REG3 = 0x00;  // left to right
    CD_STATUS = 3;
    CD_REG1 = 0x80;  // right to right
    CD_REG2 = 0x00;  // right to left
    CD_REG3 = 0x20;  // apply
    CD_STATUS = 0;
}

static void playXa(const char* name, uint8_t channel) {
    const uint8_t filter[2] = {1, channel};
    const uint8_t mode = MODE_XA;
    const int ok = cdCommand(CD_SETFILTER, filter, 2) == INT_ACKNOWLEDGE &&
                   cdCommand(CD_SETMODE, &mode, 1) == INT_ACKNOWLEDGE &&
                   cdCommand(CD_SETLOC, kXaStart, 3) == INT_ACKNOWLEDGE &&
                   cdCommand(CD_READS, 0, 0) == INT_ACKNOWLEDGE;
    waitMs(kPlayMs);
    const int paused = cdCommandComplete(CD_PAUSE);
    bios_printf("SPUT: cd %s file 1 channel %d %s\n", name, channel, ok && paused ? "played" : "failed");
    waitMs(kGapMs);
}

static void playCdDa(void) {
    const uint8_t mode = MODE_CDDA, track = 0x02;
    const int ok = cdCommand(CD_SETMODE, &mode, 1) == INT_ACKNOWLEDGE &&
                   cdCommand(CD_PLAY, &track, 1) == INT_ACKNOWLEDGE;
    waitMs(kPlayMs);
    const int paused = cdCommandComplete(CD_PAUSE);
    bios_printf("SPUT: cd cdda track 2 %s\n", ok && paused ? "played" : "failed");
    waitMs(kGapMs);
}

void playCdAudio(void) {
    SPU_CD_VOLUME_LEFT = 0x4000;
    SPU_CD_VOLUME_RIGHT = 0x6000;
    SPU_CONTROL = SPU_CONTROL_ENABLE | SPU_CONTROL_CD_AUDIO;
    cdMatrixUnity();
    const int ready = cdCommandComplete(CD_INIT) && cdCommand(CD_DEMUTE, 0, 0) == INT_ACKNOWLEDGE;
    bios_printf("SPUT: cd init %s\n", ready ? "ok" : "failed");
    waitMs(kGapMs);
    playXa("xa-stereo", 1);
    playXa("xa-mono", 2);
    playCdDa();
}
