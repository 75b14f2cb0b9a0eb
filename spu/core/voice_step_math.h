#pragma once
// The arithmetic of one voice output step, shared by the exact step (voice_output.cpp) and the
// quiet runs (voice_quiet_run.cpp), so that both compute every sample the same way.
#include <cstdint>

#include "fixed_point.h"

namespace voicestep {

constexpr int kPositionShift = 12;  // pitchCounter: 1/4096 source sample
constexpr int32_t kFractionMask = 0xFFF;
constexpr int kVolumeShift = 10;  // current volume is scaled by 1024
constexpr int32_t kVolumeScale = 1 << kVolumeShift;
constexpr int kMultiplierShift = 14;    // multiplier 16384 would be unity gain
constexpr int kEnvelopeShift = 16;      // envelope level 0xFFFF is full scale
constexpr int kEnvelopeLevelShift = 8;  // envelopeLevel = accumulator >> 8
constexpr int32_t kSweepStepScale = 4;  // sweep rate units per sample

// Linear interpolation between window entries: entry 0 is the previous block's last sample,
// so the voice runs one source sample behind its data and block boundaries are seamless.
inline int32_t interpolate(const int32_t* window, int32_t pitchCounter) {
    const int32_t index = pitchCounter >> kPositionShift;
    const int32_t fraction = pitchCounter & kFractionMask;
    const int32_t from = window[index];
    const int32_t to = window[index + 1];
    return wrappingAdd32(
        from,
        shiftRightArithmetic(wrappingMul32(wrappingSub32(to, from), fraction), kPositionShift));
}

// ((((volume >> 10) * s) >> 14) * level) >> 16, in this order and without rounding. Decoded
// samples are unclamped, so the products can leave 32 bits; they keep their low 32 bits as
// the chip's multiplier does. The result is the contribution narrowed to 16 bits.
inline int16_t scale(int32_t currentVolume, int32_t sample, int32_t level) {
    const int32_t multiplier = shiftRightArithmetic(currentVolume, kVolumeShift);
    const int32_t scaled =
        shiftRightArithmetic(wrappingMul32(multiplier, sample), kMultiplierShift);
    return wrapTo16(shiftRightArithmetic(wrappingMul32(scaled, level), kEnvelopeShift));
}

// How many steps j = 1, 2, ... (at most limit) keep value + j * step inside lo..hi. Used to
// find where a linear ramp (envelope, volume sweep) first needs a check to fire.
inline int32_t stepsWithin(int32_t value, int32_t step, int32_t lo, int32_t hi, int32_t limit) {
    const int64_t first = static_cast<int64_t>(value) + step;
    if (first < lo || first > hi) return 0;
    if (step == 0) return limit;
    const int64_t room = step > 0
                             ? (static_cast<int64_t>(hi) - value) / step
                             : (static_cast<int64_t>(value) - lo) / -static_cast<int64_t>(step);
    return room < limit ? static_cast<int32_t>(room) : limit;
}

}  // namespace voicestep
