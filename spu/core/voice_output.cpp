// The per-sample output step of a voice and its volume sweep. This is the innermost loop of
// the plug-in (24 voices, 44100 times a second, under the global lock): constant work, no
// allocation, a block decode only once per 28 source samples. renderSpan runs a whole batch
// for one voice; the straight-line stretches between events live in voice_quiet_run.cpp.
#include "mix_accumulator.h"
#include "voice.h"
#include "voice_step_math.h"

using namespace voicestep;

namespace {

constexpr int32_t kShortestQuietRun = 4;

inline int32_t sweepDelta(int32_t sweepRate, int32_t decrease) {
    return (decrease != 0 ? -sweepRate : sweepRate) * kSweepStepScale;
}

inline void stepSide(int32_t sweep, int32_t fixedVolume, int32_t sweepRate, int32_t decrease,
                     int32_t& current) {
    if (sweep == 0) {
        current = fixedVolume * kVolumeScale;  // a multiply: the fixed volume may be negative
        return;
    }
    // Linear in both directions: the exponential bit is stored only. A rate made negative by
    // bit 12 reverses the direction and sweeps fast.
    current = wrappingAdd32(current, sweepDelta(sweepRate, decrease));
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

// A fixed side sets the same volume every step, and a sweep resting at a bound stays there,
// so both move by 0; a moving sweep is quiet until it would reach a bound.
int32_t Voice::volumeQuietSteps(int32_t sweep, int32_t sweepRate, int32_t decrease, int32_t current,
                                int32_t limit, int32_t& step) {
    step = 0;
    if (sweep == 0) return limit;
    const int32_t delta = sweepDelta(sweepRate, decrease);
    if ((current == kVolumeLimit && delta >= 0) || (current == -kVolumeLimit && delta <= 0)) {
        return limit;
    }
    step = delta;
    return stepsWithin(current, delta, -kVolumeLimit + 1, kVolumeLimit - 1, limit);
}

void Voice::renderStep(int32_t& sumLeft, int32_t& sumRight) {
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
        if (!takePlannedBlock()) decodeBlock();
        needsDecode = false;
    }
    stepVolume();
    stepEnvelope();

    const int32_t sample = interpolate(window(), pitchCounter);
    sumLeft += scale(currentVolumeLeft, sample, envelopeLevel);
    sumRight += scale(currentVolumeRight, sample, envelopeLevel);
    pitchCounter += pitch;
}

void Voice::renderSoundingSpan(int32_t* sumLeft, int32_t* sumRight, int32_t frames) {
    int32_t done = 0;
    while (done < frames) {
        // An idle voice adds nothing and stands still for the rest of the span.
        if (phase == EnvelopePhase::Idle) {
            activeFlag = 0;
            break;
        }
        activeFlag = 1;
        // Very short runs cost more to set up than their steps: those go step by step.
        const QuietRun run =
            frames - done < kShortestQuietRun ? QuietRun{0, 0, 0, 0} : findQuietRun(frames - done);
        if (run.frames < kShortestQuietRun) {
            renderStep(sumLeft[done], sumRight[done]);
            ++done;
        } else {
            renderQuietRun(sumLeft + done, sumRight + done, run);
            done += run.frames;
        }
    }
    planCount = 0;  // blocks decoded ahead are only valid inside the span they were made for
    rebaseWindow();
}

void Voice::renderSample(MixAccumulator& mix) {
    const bool sounding = phase != EnvelopePhase::Idle;
    int32_t left[1 + kSpanPadding] = {};
    int32_t right[1 + kSpanPadding] = {};
    renderSpan(left, right, 1);
    // One contribution, already narrowed: the sums started at 0.
    if (sounding) mix.add(wrapTo16(left[0]), wrapTo16(right[0]), reverbFlag);
}
