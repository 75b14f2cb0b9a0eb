// The per-sample output step of a voice and its volume sweep. This is the innermost loop of
// the plug-in (24 voices, 44100 times a second, under the global lock): constant work, no
// allocation, a block decode only once per 28 source samples.
#include "fixed_point.h"
#include "mix_accumulator.h"
#include "voice.h"

namespace {

constexpr int kPositionShift = 12;  // pitchCounter: 1/4096 source sample
constexpr int32_t kFractionMask = 0xFFF;
constexpr int kVolumeShift = 10;  // current volume is scaled by 1024
constexpr int32_t kVolumeScale = 1 << kVolumeShift;
constexpr int kMultiplierShift = 14;    // multiplier 16384 would be unity gain
constexpr int kEnvelopeShift = 16;      // envelope level 0xFFFF is full scale
constexpr int32_t kSweepStepScale = 4;  // sweep rate units per sample

// ((((volume >> 10) * s) >> 14) * level) >> 16, in this order and without rounding. Decoded
// samples are unclamped, so the products can leave 32 bits; they keep their low 32 bits as
// the chip's multiplier does.
inline int16_t scale(int32_t currentVolume, int32_t sample, int32_t level) {
    const int32_t multiplier = shiftRightArithmetic(currentVolume, kVolumeShift);
    const int32_t scaled =
        shiftRightArithmetic(wrappingMul32(multiplier, sample), kMultiplierShift);
    return wrapTo16(shiftRightArithmetic(wrappingMul32(scaled, level), kEnvelopeShift));
}

inline void stepSide(int32_t sweep, int32_t fixedVolume, int32_t sweepRate, int32_t decrease,
                     int32_t& current) {
    if (sweep == 0) {
        current = fixedVolume * kVolumeScale;  // a multiply: the fixed volume may be negative
        return;
    }
    // Linear in both directions: the exponential bit is stored only. A rate made negative by
    // bit 12 reverses the direction and sweeps fast.
    const int32_t delta = (decrease != 0 ? -sweepRate : sweepRate) * kSweepStepScale;
    current = wrappingAdd32(current, delta);
    if (current >= Voice::kVolumeLimit) {
        current = Voice::kVolumeLimit;
    } else if (current <= -Voice::kVolumeLimit) {
        current = -Voice::kVolumeLimit;
    }
}

}  // namespace

void Voice::stepVolume() {
    stepSide(sweepLeft, fixedVolumeLeft, sweepRateLeft, sweepDecreaseLeft, currentVolumeLeft);
    stepSide(sweepRight, fixedVolumeRight, sweepRateRight, sweepDecreaseRight, currentVolumeRight);
}

void Voice::renderSample(MixAccumulator& mix) {
    if (phase == EnvelopePhase::Idle) {
        activeFlag = 0;
        return;
    }
    activeFlag = 1;

    // The flags acted on are those of the block just played; pitch is at most 0xFFFF, so this
    // runs at most once per step.
    while (pitchCounter >= kBlockEnd) {
        processBlockFlags();
        needsDecode = true;
        pitchCounter -= kBlockEnd;
    }
    // An end flag above leaves the voice Idle, yet this frame still runs to the end: the
    // envelope step zeroes the level, so the voice adds 0, and the block the flags pointed
    // at is decoded so that the history a later key on keeps has moved on by it.
    if (needsDecode) {
        decodeBlock();
        needsDecode = false;
    }
    stepVolume();
    stepEnvelope();

    // Entry 0 is the previous block's last sample: the voice runs one source sample behind
    // its data, which makes block boundaries seamless.
    const int32_t index = pitchCounter >> kPositionShift;
    const int32_t fraction = pitchCounter & kFractionMask;
    const int32_t from = sampleWindow[index];
    const int32_t to = sampleWindow[index + 1];
    const int32_t sample = wrappingAdd32(
        from,
        shiftRightArithmetic(wrappingMul32(wrappingSub32(to, from), fraction), kPositionShift));

    mix.add(scale(currentVolumeLeft, sample, envelopeLevel),
            scale(currentVolumeRight, sample, envelopeLevel), reverbFlag);
    pitchCounter += pitch;
}
