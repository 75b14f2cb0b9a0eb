#include "envelope_engine.h"

EnvelopeLimits sweepLimits(bool decreasing, bool phaseNegative) {
    if (!decreasing) return EnvelopeLimits{-0x8000, 0x7FFF};
    if (phaseNegative) return EnvelopeLimits{-0x8000, 0};
    return EnvelopeLimits{0, 0x7FFF};
}

EnvelopeRate makeEnvelopeRate(int shift, int step, bool exponential, bool decreasing,
                              bool phaseNegative, bool frozen) {
    EnvelopeRate rate;
    // +7..+4 by the step field; a decreasing rate (or an increasing one with the phase bit)
    // takes the ones' complement, -8..-5.
    int32_t size = 7 - step;
    if (decreasing != phaseNegative) size = ~size;
    const int left = shift < 11 ? 11 - shift : 0;
    size *= int32_t{1} << left;  // a multiply: << of a negative value is not portable C++17
    const int right = shift > 11 ? shift - 11 : 0;
    int32_t inc = right >= 16 ? 0 : (0x8000 >> right);

    rate.step = size;
    rate.counterInc = inc;
    rate.exponentialDecrease = exponential && decreasing;
    rate.exponentialIncrease = exponential && !decreasing;
    // Above 6000h an exponential increase is the linear one slowed down by exactly 4: a smaller
    // step for the fast rates, a smaller counter increment for the slow ones.
    rate.stepHigh = size;
    rate.counterIncHigh = inc;
    if (shift < 10) {
        rate.stepHigh = size >> 2;
    } else if (shift == 10) {
        rate.stepHigh = size >> 1;
        rate.counterIncHigh = inc >> 1;
    } else {
        rate.counterIncHigh = inc >> 2;
    }
    if (!frozen) {
        if (rate.counterInc < 1) rate.counterInc = 1;
        if (rate.counterIncHigh < 1) rate.counterIncHigh = 1;
    }
    return rate;
}
