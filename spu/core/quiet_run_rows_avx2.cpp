// The AVX2 quiet run for pitches up to 2, the range nearly all sound data plays at (samples
// recorded at 44100 Hz or less). Each step reads the two window entries around its counter,
// at an index that moves with the counter. A general gather costs one load and a lane insert
// per entry, which made up most of a run's time, and the frames of a run only began once all
// of its samples were gathered, so a run of a 1 ms pass paid that start-up on few frames.
// At these pitches 8 steps read inside 16 entries from the first step's index: two row loads
// and a lane permute give all 16 entries, and one loop renders each group of 8 frames start
// to end.
#include "cpu_features.h"
#include "quiet_run_kernels.h"
#include "voice_step_math.h"

#if SPU_HAVE_AVX2_PATH
#include <immintrin.h>

namespace quietrun {
namespace {

using namespace voicestep;

constexpr int32_t kRowEntries = 8;                    // one 256-bit row of window entries
constexpr int32_t kPitchUnity = 1 << kPositionShift;  // one source sample a step

// The same arithmetic as voicestep::scale, lane by lane: 32-bit products keep their low 32
// bits (vpmulld), shifts are arithmetic.
SPU_TARGET_AVX2 inline __m256i scaleLanes(__m256i volume, __m256i sample, __m256i level) {
    const __m256i multiplier = _mm256_srai_epi32(volume, kVolumeShift);
    const __m256i scaled =
        _mm256_srai_epi32(_mm256_mullo_epi32(multiplier, sample), kMultiplierShift);
    // A 32-bit value shifted down by 16 already lies in 16 bits: the narrowing is implicit.
    return _mm256_srai_epi32(_mm256_mullo_epi32(scaled, level), kEnvelopeShift);
}

SPU_TARGET_AVX2 inline __m256i loadRow(const int32_t* entries) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(entries));
}

// Entry first + offset (+ 1 with `row` one entry further on) of the window in each lane.
// Up to pitch 1 a group's offsets are 0..7 and one row holds them all; up to pitch 2 they
// reach 15 and a second row follows: the permute reads the low 3 bits of each offset, the
// same place in either row.
template <bool TwoRows>
SPU_TARGET_AVX2 inline __m256i pickEntries(const int32_t* row, __m256i offset) {
    const __m256i inFirstRow = _mm256_permutevar8x32_epi32(loadRow(row), offset);
    if (!TwoRows) return inFirstRow;
    const __m256i inSecondRow = _mm256_permutevar8x32_epi32(loadRow(row + kRowEntries), offset);
    const __m256i second = _mm256_cmpgt_epi32(offset, _mm256_set1_epi32(kRowEntries - 1));
    return _mm256_blendv_epi8(inFirstRow, inSecondRow, second);
}

// Frame k of the group at counter c: from = window[c >> 12], to = the entry after it.
template <bool TwoRows>
SPU_TARGET_AVX2 inline __m256i interpolateLanes(const int32_t* window, __m256i counter) {
    const __m256i index = _mm256_srai_epi32(counter, kPositionShift);
    const int32_t first = _mm256_cvtsi256_si32(index);  // lane 0 has the lowest counter
    const __m256i offset = _mm256_sub_epi32(index, _mm256_set1_epi32(first));
    const __m256i from = pickEntries<TwoRows>(window + first, offset);
    const __m256i to = pickEntries<TwoRows>(window + first + 1, offset);
    const __m256i fraction = _mm256_and_si256(counter, _mm256_set1_epi32(kFractionMask));
    const __m256i delta = _mm256_mullo_epi32(_mm256_sub_epi32(to, from), fraction);
    return _mm256_add_epi32(from, _mm256_srai_epi32(delta, kPositionShift));
}

// start + (lane + first) * step in each lane: a value that moves by `step` a frame.
SPU_TARGET_AVX2 inline __m256i rampLanes(int32_t start, int32_t step, int32_t first) {
    const __m256i lane = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
    const __m256i stepsIn = _mm256_add_epi32(lane, _mm256_set1_epi32(first));
    return _mm256_add_epi32(_mm256_set1_epi32(start),
                            _mm256_mullo_epi32(stepsIn, _mm256_set1_epi32(step)));
}

// Where a run stands at frame j of a group: its counter, volumes and envelope, lane by lane.
struct Ramps {
    __m256i counter;
    __m256i volumeLeft;
    __m256i volumeRight;
    __m256i accumulator;
};

// One group of 8 frames added to the sums. The last group of a run may be partial: its lanes
// past the run read at the run's last counter (entries the run reads anyway) and add 0.
template <bool TwoRows, bool Partial>
SPU_TARGET_AVX2 inline void renderGroup(const int32_t* window, const Ramps& at, __m256i lastCounter,
                                        int32_t inRun, int32_t* sumLeft, int32_t* sumRight) {
    const __m256i counter = Partial ? _mm256_min_epi32(at.counter, lastCounter) : at.counter;
    const __m256i sample = interpolateLanes<TwoRows>(window, counter);
    const __m256i level = _mm256_srai_epi32(at.accumulator, kEnvelopeLevelShift);
    __m256i left = scaleLanes(at.volumeLeft, sample, level);
    __m256i right = scaleLanes(at.volumeRight, sample, level);
    if (Partial) {
        const __m256i lane = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
        const __m256i keep = _mm256_cmpgt_epi32(_mm256_set1_epi32(inRun), lane);
        left = _mm256_and_si256(left, keep);
        right = _mm256_and_si256(right, keep);
    }
    __m256i* outLeft = reinterpret_cast<__m256i*>(sumLeft);
    __m256i* outRight = reinterpret_cast<__m256i*>(sumRight);
    _mm256_storeu_si256(outLeft, _mm256_add_epi32(_mm256_loadu_si256(outLeft), left));
    _mm256_storeu_si256(outRight, _mm256_add_epi32(_mm256_loadu_si256(outRight), right));
}

// Held: volumes and envelope stand still for the run (fixed volumes, a held sustain, the
// common case), so their multipliers are worked out once instead of in every group.
template <bool TwoRows, bool Held>
SPU_TARGET_AVX2 void renderRows(const int32_t* window, RunState& state, const RunSteps& steps,
                                int32_t frames, int32_t* sumLeft, int32_t* sumRight) {
    // Frame j reads at counter + j * pitch and has moved its volumes and envelope j + 1 times.
    Ramps at{rampLanes(state.counter, steps.pitch, 0),
             rampLanes(state.volumeLeft, steps.volumeLeft, 1),
             rampLanes(state.volumeRight, steps.volumeRight, 1),
             rampLanes(state.accumulator, steps.envelope, 1)};
    const __m256i groupPitch = _mm256_set1_epi32(wrappingMul32(steps.pitch, kGroupFrames));
    const __m256i groupLeft = _mm256_set1_epi32(wrappingMul32(steps.volumeLeft, kGroupFrames));
    const __m256i groupRight = _mm256_set1_epi32(wrappingMul32(steps.volumeRight, kGroupFrames));
    const __m256i groupEnvelope = _mm256_set1_epi32(wrappingMul32(steps.envelope, kGroupFrames));
    const __m256i lastCounter = _mm256_set1_epi32(state.counter + (frames - 1) * steps.pitch);
    int32_t j = 0;
    for (; j + kGroupFrames <= frames; j += kGroupFrames) {
        renderGroup<TwoRows, false>(window, at, lastCounter, kGroupFrames, sumLeft + j,
                                    sumRight + j);
        at.counter = _mm256_add_epi32(at.counter, groupPitch);
        if (!Held) {
            at.volumeLeft = _mm256_add_epi32(at.volumeLeft, groupLeft);
            at.volumeRight = _mm256_add_epi32(at.volumeRight, groupRight);
            at.accumulator = _mm256_add_epi32(at.accumulator, groupEnvelope);
        }
    }
    if (j < frames)
        renderGroup<TwoRows, true>(window, at, lastCounter, frames - j, sumLeft + j, sumRight + j);
    // Where the steps end: findQuietRun kept every one of them inside its bounds, so these
    // are the values the steps reach one by one.
    state.counter = wrappingAdd32(state.counter, wrappingMul32(frames, steps.pitch));
    state.volumeLeft = wrappingAdd32(state.volumeLeft, wrappingMul32(frames, steps.volumeLeft));
    state.volumeRight = wrappingAdd32(state.volumeRight, wrappingMul32(frames, steps.volumeRight));
    state.accumulator = wrappingAdd32(state.accumulator, wrappingMul32(frames, steps.envelope));
}

}  // namespace

SPU_TARGET_AVX2 void renderRowsAvx2(const int32_t* window, RunState& state, const RunSteps& steps,
                                    int32_t frames, int32_t* sumLeft, int32_t* sumRight) {
    const bool held = (steps.volumeLeft | steps.volumeRight | steps.envelope) == 0;
    if (steps.pitch <= kPitchUnity) {
        if (held) {
            renderRows<false, true>(window, state, steps, frames, sumLeft, sumRight);
        } else {
            renderRows<false, false>(window, state, steps, frames, sumLeft, sumRight);
        }
    } else if (held) {
        renderRows<true, true>(window, state, steps, frames, sumLeft, sumRight);
    } else {
        renderRows<true, false>(window, state, steps, frames, sumLeft, sumRight);
    }
}

}  // namespace quietrun

#endif
