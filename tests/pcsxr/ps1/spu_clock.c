// Waiting in the chip's own time. spuTarn produces samples as fast as the sound device plays
// them, not as fast as the emulated processor runs, so the program measures time with a silent
// voice: on spuTarn, voice 23 keyed on with attack rate 127 raises its envelope by 260 / 2^24 of
// full scale per output sample, so after k samples its level register reads (260 * k) >> 8,
// which is within 2% of k up to full scale at 64528 samples. On the console's chip an attack
// rate of 127 never steps; there attack rate 60 (shift 15, step +7) adds 7 every 16 ticks, so
// after k samples the level reads 7 * (k / 16), full scale after 74898. A wait of n samples
// restarts that voice from level 0 and polls its level until it reaches the level of n samples.
//
// A stalled chip (no samples produced) would hang the program, so every wait also has a limit in
// emulated time from root counter 2.
#include "spu_hw.h"
#include "sput.h"

enum { kClockVoice = 23, kClockBit = 1u << (kClockVoice - 16) };
#define CLOCK_ATTACK_127 0x7F00u
#define CLOCK_ATTACK_60 0x3C00u
#define TIMER_TICKS_PER_SECOND 4233600u
#define WAIT_LIMIT_TICKS (20u * TIMER_TICKS_PER_SECOND)
#define MAX_WAIT_SAMPLES 60000u

int exactChip = 0;

// SPUCNT bit 0 (CD audio on) shows in SPUSTAT bit 0 on the console's chip, within a tick.
void detectChip(void) {
    SPU_CONTROL = SPU_CONTROL_ENABLE | 1u;
    for (int i = 0; i < 1000 && !exactChip; ++i) exactChip = (SPU_STATUS & 1u) != 0;
    SPU_CONTROL = SPU_CONTROL_ENABLE;
    bios_printf("SPUT: chip %s\n", exactChip ? "exact" : "simple");
}

static uint32_t clockLevelAfter(uint32_t samples) {
    return exactChip ? 7u * (samples / 16u) : (260u * samples) >> 8;
}

void clockInit(void) {
    TIMER2_MODE = TIMER2_SYSCLOCK_DIV8;
    SPU_VOICE(kClockVoice, VOICE_VOLUME_LEFT) = 0;
    SPU_VOICE(kClockVoice, VOICE_VOLUME_RIGHT) = 0;
    SPU_VOICE(kClockVoice, VOICE_PITCH) = 0x1000;
    SPU_VOICE(kClockVoice, VOICE_START) = DATA_PORT_AREA >> 3;
    SPU_VOICE(kClockVoice, VOICE_ADSR1) = exactChip ? CLOCK_ATTACK_60 : CLOCK_ATTACK_127;
    SPU_VOICE(kClockVoice, VOICE_ADSR2) = 0x1FC0;  // hold at the top; never reached
}

uint16_t clockLevel(void) { return SPU_VOICE(kClockVoice, VOICE_ENVX); }

// Every register access takes the plug-in's lock, which its streaming thread needs too; a
// program polling flat out would measure how the host thread and the streaming thread share that
// lock rather than the sound. Polls are spaced by 2000 ticks (0.47 ms), about twice a pass.
void pollPause(void) {
    for (const uint16_t start = timerNow(); (uint16_t)(timerNow() - start) < 2000;) {}
}
uint16_t timerNow(void) { return TIMER2_COUNT; }

static void clockRestart(void) {
    SPU_VOICE(kClockVoice, VOICE_ENVX) = 0;  // the attack starts from the present level
    SPU_KEY_ON_HIGH = kClockBit;
}

// Restarting the clock costs nothing on other voices: a 0 bit in a key-on write changes none.
static int waitChunk(uint32_t samples) {
    const uint32_t target = clockLevelAfter(samples);
    clockRestart();
    uint32_t elapsed = 0;
    uint16_t last = timerNow();
    while (clockLevel() < target) {
        pollPause();
        const uint16_t now = timerNow();
        elapsed += (uint16_t)(now - last);
        last = now;
        if (elapsed > WAIT_LIMIT_TICKS) return 0;
    }
    return 1;
}

int waitSamples(uint32_t samples) {
    while (samples > 0) {
        const uint32_t chunk = samples > MAX_WAIT_SAMPLES ? MAX_WAIT_SAMPLES : samples;
        if (!waitChunk(chunk)) {
            bios_printf("SPUT: clock stalled level 0x%04x\n", clockLevel());
            return 0;
        }
        samples -= chunk;
    }
    return 1;
}

int waitFor(int (*done)(void), uint32_t limitTicks) {
    uint32_t elapsed = 0;
    uint16_t last = timerNow();
    while (!done()) {
        const uint16_t now = timerNow();
        elapsed += (uint16_t)(now - last);
        last = now;
        if (elapsed > limitTicks) return 0;
    }
    return 1;
}

// Waiting in emulated time: the host's CD drive and a chip on the host's clock run on it.
static int never(void) { return 0; }
void waitMs(uint32_t ms) { waitFor(never, ms * TICKS_PER_MS); }
