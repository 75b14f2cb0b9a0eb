// Quiet runs: the output steps of a sounding voice between two events. Inside one, no block
// ends, the envelope changes no phase and clamps nothing, and no sweep reaches its bound, so
// each step does the same straight-line arithmetic as renderStep with fixed increments:
//   volume += volume step, accumulator += envelope step, level = accumulator >> 8,
//   contribution = scale(volume, interpolated sample, level), counter += pitch.
// Nothing changes a voice between two frames of a batch (the streaming thread holds the global
// lock for the whole batch), so a run may span as much of the batch as its events allow.
#include "voice.h"
#include "voice_step_math.h"

using namespace voicestep;

namespace {

inline int32_t minimum(int32_t a, int32_t b) {
    return a < b ? a : b;
}

}  // namespace

Voice::QuietRun Voice::findQuietRun(int32_t limit) const {
    QuietRun run{0, 0, 0, 0};
    limit = minimum(limit, kMaxQuietRun);
    // Block handling: a pending decode or a counter at the block end is an event now. Otherwise
    // steps 0..k-1 see counters pitchCounter + j * pitch, all below the block end.
    if (needsDecode || pitchCounter < 0 || pitchCounter >= kBlockEnd) return run;
    if (pitch > 0) limit = minimum(limit, (kBlockEnd - pitchCounter + pitch - 1) / pitch);

    limit = minimum(limit, envelopeQuietSteps(limit, run.envelopeStep));
    limit = minimum(limit, volumeQuietSteps(sweepLeft, sweepRateLeft, sweepDecreaseLeft,
                                            currentVolumeLeft, limit, run.volumeStepLeft));
    limit = minimum(limit, volumeQuietSteps(sweepRight, sweepRateRight, sweepDecreaseRight,
                                            currentVolumeRight, limit, run.volumeStepRight));
    run.frames = limit;
    return run;
}

void Voice::renderQuietRun(int32_t* __restrict sumLeft, int32_t* __restrict sumRight,
                           const QuietRun& run) {
    const int32_t frames = run.frames;

    // The window reads depend on the counter, so they are gathered first, one by one; what
    // follows is the same few operations on every frame, which the compiler vectorises.
    int32_t samples[kMaxQuietRun];
    int32_t counter = pitchCounter;
    for (int32_t j = 0; j < frames; ++j) {
        samples[j] = interpolate(sampleWindow, counter);
        counter += pitch;
    }
    pitchCounter = counter;

    // A fixed side sets fixed volume * 1024 in every step: take it from the start.
    int32_t volumeLeft = sweepLeft != 0 ? currentVolumeLeft : fixedVolumeLeft * kVolumeScale;
    int32_t volumeRight = sweepRight != 0 ? currentVolumeRight : fixedVolumeRight * kVolumeScale;
    int32_t accumulator = envelopeAccumulator;
    const int32_t volumeStepLeft = run.volumeStepLeft;
    const int32_t volumeStepRight = run.volumeStepRight;
    const int32_t envelopeStepNow = run.envelopeStep;
    for (int32_t j = 0; j < frames; ++j) {
        // No wrap inside a run: findQuietRun kept every value within its bounds.
        volumeLeft += volumeStepLeft;
        volumeRight += volumeStepRight;
        accumulator += envelopeStepNow;
        const int32_t level = shiftRightArithmetic(accumulator, kEnvelopeLevelShift);
        sumLeft[j] += scale(volumeLeft, samples[j], level);
        sumRight[j] += scale(volumeRight, samples[j], level);
    }
    currentVolumeLeft = volumeLeft;
    currentVolumeRight = volumeRight;
    envelopeAccumulator = accumulator;
    envelopeLevel = shiftRightArithmetic(accumulator, kEnvelopeLevelShift);
}
