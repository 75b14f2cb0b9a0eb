#pragma once
// The one envelope engine of the chip. Once a tick it moves a level by a rate: the ADSR phases
// of every voice, the voice volume sweeps and the main volume sweeps all run on it. A rate is
// (shift << 2) | step plus a mode; everything that depends only on the rate is worked out when
// the rate is set (EnvelopeRate), so a tick costs a compare, an add and maybe a multiply.
#include <cstdint>

struct EnvelopeRate {
    int32_t step = 0;        // added on a step: +7..+4 or -8..-5, shifted left by 11 - shift
    int32_t counterInc = 0;  // added to the counter each tick; 0 never steps
    int32_t stepHigh = 0;    // exponential increase above 6000h: four times slower
    int32_t counterIncHigh = 0;
    uint8_t exponentialIncrease = 0;
    uint8_t exponentialDecrease = 0;
    uint8_t padding[2] = {0, 0};
};

struct EnvelopeLimits {
    int32_t low;
    int32_t high;
};

// Limits of an ADSR level, and of a sweep by its direction and phase bit: increasing sweeps run
// from -8000h to 7FFFh, decreasing ones with the phase bit from -8000h to 0, other decreasing
// ones never below 0.
constexpr EnvelopeLimits kAdsrLimits{0, 0x7FFF};
EnvelopeLimits sweepLimits(bool decreasing, bool phaseNegative);

// `frozen` marks the all-ones rates (7Fh for attack, sustain and sweeps, release shift 1Fh):
// their counter increment stays 0 and they never step. Every other rate steps at least once
// every 8000h ticks.
EnvelopeRate makeEnvelopeRate(int shift, int step, bool exponential, bool decreasing,
                              bool phaseNegative, bool frozen);

// One tick. Returns true when the level stepped (the ADSR phases change only after a step).
inline bool envelopeTick(const EnvelopeRate& rate, int32_t& level, uint32_t& counter,
                         EnvelopeLimits limits) {
    int32_t step = rate.step;
    uint32_t inc = static_cast<uint32_t>(rate.counterInc);
    if (rate.exponentialIncrease != 0 && level > 0x6000) {
        step = rate.stepHigh;
        inc = static_cast<uint32_t>(rate.counterIncHigh);
    } else if (rate.exponentialDecrease != 0) {
        // |step| <= 4000h and |level| <= 8000h: the product fits 32 bits. >> floors, which the
        // decay overshoot to 3FFFh on a console confirms.
        step = (step * level) >> 15;
    }
    counter += inc;
    if ((counter & 0x8000u) == 0) return false;
    // Clearing the counter after a step reproduces the console ENVX traces.
    counter = 0;
    int32_t next = level + step;
    if (next < limits.low) next = limits.low;
    if (next > limits.high) next = limits.high;
    level = next;
    return true;
}
