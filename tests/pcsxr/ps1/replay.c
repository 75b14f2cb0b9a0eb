// Replays console checks from the recordings as the console test program ran them, and prints
// what that program read: the voice-1 capture ring of sound RAM (pcm checks) or the ENVX reads
// (envx checks), as "SPUT: rec NAME ring|envx VALUES". The test script hands them to the
// recordings' own checker. make-replay-table.py writes each check as a chain of the steps below
// (replay_table.c, from the build); a step returns 0 when its wait timed out.
#include "spu_hw.h"
#include "sput.h"
#pragma GCC diagnostic ignored "-Wunused-function"  // the checks chosen may not use every step

#define POLL_LIMIT_TICKS (100u * TICKS_PER_MS)
#define V1_ENVX SPU_VOICE(1, VOICE_ENVX)

typedef struct {
    const char* name;
    int (*run)(void);
} ReplayCheck;

static uint32_t want;
static int16_t ring[512] __attribute__((aligned(4)));
static uint32_t dmaWords[256] __attribute__((aligned(4)));
static int16_t envx[32];
static int envxCount;

static int transferIs(void) { return SPU_TRANSFER_ADDRESS == want; }
static int statusModeIs(void) { return ((SPU_STATUS >> 4) & 3) == want; }
static int captureHalfIs(void) { return ((SPU_STATUS & SPU_STATUS_CAPTURE_HALF) != 0) == want; }
static int envxSet(void) { return V1_ENVX != 0; }

static int waitValue(int (*done)(void), uint32_t value) {
    want = value;
    return waitFor(done, POLL_LIMIT_TICKS);
}

static int put(uint32_t offset, uint16_t value) { return HW16(SPU_BASE + offset) = value, 1; }
static int pollTransfer(uint32_t address) { return waitValue(transferIs, address); }
static int pollStatusMode(uint32_t mode) { return waitValue(statusModeIs, mode); }
static int pollEnvxSet(void) { return waitFor(envxSet, POLL_LIMIT_TICKS); }
static int cpuWait(uint32_t ticks) { return waitMs(ticks / TICKS_PER_MS + 1), 1; }
static int readEnvx(void) { return envxCount < 32 ? envx[envxCount++] = (int16_t)V1_ENVX, 1 : 1; }
static int dpcr(void) { return DMA_PRIORITY_CONTROL |= 0x000B0000u, 1; }
static int comDelay(uint32_t value) { return COM_DELAY = (COM_DELAY & 0xFFFFFFu) | value << 24, 1; }
static int dmaFrom(uint32_t count) { return startDma(ring, (int)(2 * count), DMA_TO_RAM), 1; }
// The chip starts writing the ring's first half again: bit 11 goes to 1, then back to 0.
static int captureEdge(void) { return waitValue(captureHalfIs, 1) && waitValue(captureHalfIs, 0); }

static int pollEnvxZero(uint32_t maxReads) {
    for (uint32_t reads = 0; V1_ENVX != 0 && reads < maxReads; ++reads)
        if (!captureEdge()) return 0;
    return 1;
}

static const uint16_t* inRam(const uint32_t* words, uint32_t count) {
    for (uint32_t i = 0; i < count; ++i) dmaWords[i] = words[i];
    return (const uint16_t*)dmaWords;
}
static int dmaTo(const uint32_t* words, uint32_t count) {
    return startDma((void*)inRam(words, count), (int)(2 * count), DMA_FROM_RAM), 1;
}
static int loadRam(uint32_t address, const uint32_t* words, uint32_t count) {
    return uploadByDma(address, inRam(words, count), (int)(2 * count)), 1;
}

#include "replay_table.c"

static void printValues(const char* name, const char* what, const int16_t* v, int count) {
    for (int i = 0; i < count; i += 16) {
        bios_printf("SPUT: rec %s %s", name, what);
        for (int k = i; k < i + 16 && k < count; ++k) bios_printf(" %d", v[k]);
        bios_printf("\n");
    }
}

void replayRecordings(void) {
    for (const ReplayCheck* check = kReplayChecks; check->name != 0; ++check) {
        envxCount = 0;
        if (!check->run())
            bios_printf("SPUT: rec %s timed out\n", check->name);
        else if (envxCount > 0)
            printValues(check->name, "envx", envx, envxCount);
        else
            printValues(check->name, "ring", ring, 512);
    }
}
