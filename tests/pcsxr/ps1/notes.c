// The played sequence: three notes one after another, each on its own voice, with silence
// between them, and what the registers showed while they played. The test script checks the
// printed values and measures the recording of the same notes; the figures each note must give
// are worked out beside its settings.
#include "spu_hw.h"
#include "sput.h"

// 0.5 s, 0.75 s and 0.75 s at the chip's 44100 Hz.
enum { kHalfSecond = 22050, kThreeQuarters = 33075, kGap = 33075, kTenMs = 441 };

// A: voice 0, the data-port tone at pitch 0x800: 44100 * 0x800 / 4096 / 28 = 787.5 Hz.
// Fixed volumes 0x3FFF and 0x2000. ADSR1 0x000F: attack rate 0 (full scale in 2 samples), decay
// rate 0 (-4095 per sample), sustain level 15 (threshold 15 * 0xFFFFF - 1 = 0xEFFFF0, reached
// after 257 samples). ADSR2 0x1FCA: sustain rate 127 holds the level (envelope register 0xEFFF);
// release rate 10 falls by (10 + 1)^2 * 64 = 7744 per sample, silent after 2032 samples.
const VoiceSetup kNoteA = {0x3FFF, 0x2000, 0x0800, DATA_PORT_AREA >> 3, 0x000F, 0x1FCA};
// B: voice 1, the DMA tone at pitch 0x1000: 1575 Hz. Left volume 0x8037 sweeps up from 0, on
// both chips linearly: by 55 * 4 = 220 per sample (1/1024 units) on spuTarn, by 4 every 4 ticks
// (shift 13, step 3) on the console's; right fixed at 0x1000. Envelope as A. (B and C once used
// sweep rate 7Fh and release shift 1Fh, which never step on the console's chip.)
const VoiceSetup kNoteB = {0x8037, 0x1000, 0x1000, DMA_AREA >> 3, 0x000F, 0x1FCA};
// C: voice 2, the DMA tone at pitch 0x400: 393.75 Hz. Left fixed 0x3FFF, right 0x4000, which is
// -0x3FFF (the same level, inverted). ADSR1 0x1048: attack rate 16 (0x800000 / 513 = 16352 per
// sample, full after 1027 samples), decay rate 4 (-0xFFFFFF / 20480 = -819 per sample), sustain
// level 8 (0x7FFFF7, reached 10243 samples later; envelope register 0x7FFF). Release as A.
const VoiceSetup kNoteC = {0x3FFF, 0x4000, 0x0400, DMA_AREA >> 3, 0x1048, 0x1FCA};

void setupVoice(int voice, const VoiceSetup* s) {
    SPU_VOICE(voice, VOICE_VOLUME_LEFT) = s->volumeLeft;
    SPU_VOICE(voice, VOICE_VOLUME_RIGHT) = s->volumeRight;
    SPU_VOICE(voice, VOICE_PITCH) = s->pitch;
    SPU_VOICE(voice, VOICE_START) = s->start;
    SPU_VOICE(voice, VOICE_ADSR1) = s->adsr1;
    SPU_VOICE(voice, VOICE_ADSR2) = s->adsr2;
}

static void noteA(void) {
    setupVoice(0, &kNoteA);
    SPU_KEY_ON_LOW = 1u << 0;
    waitSamples(kTenMs);
    bios_printf("SPUT: A keyon 0x%04x 0x%04x active 0x%04x 0x%04x\n", SPU_KEY_ON_LOW,
                SPU_KEY_ON_HIGH, SPU_ACTIVE_LOW, SPU_ACTIVE_HIGH);
    waitSamples(kHalfSecond - kTenMs);
    bios_printf("SPUT: A sustain envx 0x%04x\n", SPU_VOICE(0, VOICE_ENVX));

    // Key off, and the clock restarts right behind it: both count the same samples, so the
    // release level can be checked against the clock's count exactly. The two reads must come
    // from the same pass, so they are retried until the clock stands still across them.
    SPU_KEY_OFF_LOW = 1u << 0;
    waitSamples(kTenMs);
    uint16_t clock, envx;
    do {
        clock = clockLevel();
        envx = SPU_VOICE(0, VOICE_ENVX);
    } while (clock != clockLevel());
    bios_printf("SPUT: A release envx 0x%04x clock 0x%04x\n", envx, clock);
    waitSamples(3000);
    bios_printf("SPUT: A ended envx 0x%04x active 0x%04x\n", SPU_VOICE(0, VOICE_ENVX),
                SPU_ACTIVE_LOW);
}

static void noteB(void) {
    setupVoice(1, &kNoteB);
    SPU_KEY_ON_LOW = 1u << 1;
    waitSamples(kHalfSecond);
    bios_printf("SPUT: B sustain envx 0x%04x\n", SPU_VOICE(1, VOICE_ENVX));
    SPU_KEY_OFF_LOW = 1u << 1;
    waitSamples(3000);
    bios_printf("SPUT: B ended envx 0x%04x active 0x%04x\n", SPU_VOICE(1, VOICE_ENVX),
                SPU_ACTIVE_LOW);
}

static void noteC(void) {
    setupVoice(2, &kNoteC);
    SPU_KEY_ON_LOW = 1u << 2;
    waitSamples(kThreeQuarters);
    bios_printf("SPUT: C sustain envx 0x%04x active 0x%04x 0x%04x\n", SPU_VOICE(2, VOICE_ENVX),
                SPU_ACTIVE_LOW, SPU_ACTIVE_HIGH);
    SPU_KEY_OFF_LOW = 1u << 2;
    waitSamples(3000);
    bios_printf("SPUT: C ended envx 0x%04x active 0x%04x\n", SPU_VOICE(2, VOICE_ENVX),
                SPU_ACTIVE_LOW);
}

void playSequence(void) {
    waitSamples(kGap);  // silence ahead of the first note, so the recording has a clean start
    bios_printf("SPUT: sequence start\n");
    noteA();
    waitSamples(kGap);
    noteB();
    waitSamples(kGap);
    noteC();
    waitSamples(kGap);
    bios_printf("SPUT: sequence end\n");
}
