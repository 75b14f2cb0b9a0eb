// Quiet runs: the output steps of a sounding voice between two events. Inside one, every block
// end leads on to a block decoded ahead (voice_decode_plan.cpp) without stopping the voice,
// the envelope changes no phase and clamps nothing, and no sweep reaches its bound, so each
// step does the same straight-line arithmetic as renderStep with fixed increments:
//   volume += volume step, accumulator += envelope step, level = accumulator >> 8,
//   contribution = scale(volume, interpolated sample, level), counter += pitch.
// Nothing changes a voice between two frames of a batch (the streaming thread holds the global
// lock for the whole batch), so a run may span as much of the batch as its events allow.
#include "cpu_features.h"
#include "quiet_run_kernels.h"
#include "voice.h"
#include "voice_step_math.h"

using namespace voicestep;
using namespace quietrun;

namespace {

inline int32_t minimum(int32_t a, int32_t b) {
    return a < b ? a : b;
}

}  // namespace

namespace quietrun {
namespace {

SPU_KERNEL void plainKernel(const int32_t* window, RunState& state, const RunSteps& steps,
                            int32_t frames, int32_t* __restrict sumLeft,
                            int32_t* __restrict sumRight) {
    // The window reads depend on the counter, so they are gathered first; what follows is
    // the same few operations on every frame, which the compiler vectorises.
    int32_t samples[kMaxRunFrames];
    int32_t counter = state.counter;
    for (int32_t j = 0; j < frames; ++j) {
        samples[j] = interpolate(window, counter);
        counter += steps.pitch;
    }
    state.counter = counter;

    int32_t volumeLeft = state.volumeLeft;
    int32_t volumeRight = state.volumeRight;
    int32_t accumulator = state.accumulator;
    for (int32_t j = 0; j < frames; ++j) {
        // No wrap inside a run: findQuietRun kept every value within its bounds.
        volumeLeft += steps.volumeLeft;
        volumeRight += steps.volumeRight;
        accumulator += steps.envelope;
        const int32_t level = shiftRightArithmetic(accumulator, kEnvelopeLevelShift);
        sumLeft[j] += scale(volumeLeft, samples[j], level);
        sumRight[j] += scale(volumeRight, samples[j], level);
    }
    state.volumeLeft = volumeLeft;
    state.volumeRight = volumeRight;
    state.accumulator = accumulator;
}

}  // namespace

void renderPlain(const int32_t* window, RunState& state, const RunSteps& steps, int32_t frames,
                 int32_t* sumLeft, int32_t* sumRight) {
    plainKernel(window, state, steps, frames, sumLeft, sumRight);
}

#if SPU_HAVE_AVX2_PATH
SPU_TARGET_AVX2 void renderPlainAvx2(const int32_t* window, RunState& state, const RunSteps& steps,
                                     int32_t frames, int32_t* sumLeft, int32_t* sumRight) {
    plainKernel(window, state, steps, frames, sumLeft, sumRight);
}
#endif

}  // namespace quietrun

Voice::QuietRun Voice::findQuietRun(int32_t limit) const {
    limit = minimum(limit, kMaxRunFrames);
    // Block handling: a pending decode or a counter at the block end is an event now. Otherwise
    // steps 0..k-1 see counters pitchCounter + j * pitch, which stay inside the current block
    // and the planned blocks that follow it without stopping the voice.
    if (needsDecode || pitchCounter < 0 || pitchCounter >= kBlockEnd) return QuietRun{0, 0, 0, 0};
    const int32_t playable = (continuingBlocks() + 1) * kBlockEnd;
    if (pitch > 0) limit = minimum(limit, (playable - pitchCounter + pitch - 1) / pitch);

    // The steps land in locals, not in the result: the result leaves in two 64-bit registers,
    // and reading those halves back from 32-bit stores into it stalls the store forwarding.
    int32_t envelopeStep = 0;
    int32_t stepLeft = 0;
    int32_t stepRight = 0;
    limit = minimum(limit, envelopeQuietSteps(limit, envelopeStep));
    limit = minimum(limit, volumeQuietSteps(sweepLeft, sweepRateLeft, sweepDecreaseLeft,
                                            currentVolumeLeft, limit, stepLeft));
    limit = minimum(limit, volumeQuietSteps(sweepRight, sweepRateRight, sweepDecreaseRight,
                                            currentVolumeRight, limit, stepRight));
    return QuietRun{limit, stepLeft, stepRight, envelopeStep};
}

void Voice::renderQuietRun(int32_t* sumLeft, int32_t* sumRight, const QuietRun& run) {
    // A fixed side sets fixed volume * 1024 in every step: take it from the start.
    RunState state{pitchCounter,
                   sweepLeft != 0 ? currentVolumeLeft : fixedVolumeLeft * kVolumeScale,
                   sweepRight != 0 ? currentVolumeRight : fixedVolumeRight * kVolumeScale,
                   envelopeAccumulator};
    const RunSteps steps{pitch, run.volumeStepLeft, run.volumeStepRight, run.envelopeStep};

    // The blocks this run plays into follow the window in the stream: the window's entry 28
    // is the block's last sample and entry 0 of the next window, so the counter can run on
    // past the block end as one position in the whole stretch.
    const int32_t lastCounter = pitchCounter + (run.frames - 1) * pitch;
    const int32_t crossed = lastCounter / kBlockEnd;
    const int32_t* source = window();
#if SPU_HAVE_AVX2_PATH
    if (cpuHasAvx2()) {
        if (pitch <= kRowPitchLimit) {
            renderRowsAvx2(source, state, steps, run.frames, sumLeft, sumRight);
        } else {
            renderPlainAvx2(source, state, steps, run.frames, sumLeft, sumRight);
        }
    } else {
        renderPlain(source, state, steps, run.frames, sumLeft, sumRight);
    }
#else
    renderPlain(source, state, steps, run.frames, sumLeft, sumRight);
#endif
    pitchCounter = state.counter - crossed * kBlockEnd;
    settleCrossedBlocks(crossed);
    currentVolumeLeft = state.volumeLeft;
    currentVolumeRight = state.volumeRight;
    envelopeAccumulator = state.accumulator;
    envelopeLevel = shiftRightArithmetic(state.accumulator, kEnvelopeLevelShift);
}
