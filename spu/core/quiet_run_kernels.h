#pragma once
// The kernels of a quiet run (see voice_quiet_run.cpp): `frames` output steps of one voice with
// fixed increments, each adding its two 16-bit contributions to the sums. All of them give the
// same contributions; which one runs depends on the processor and the voice's pitch.
#include <cstdint>

namespace quietrun {

// Longest quiet run rendered at once: bounds the scratch of interpolated samples.
constexpr int32_t kMaxRunFrames = 256;

// Frames one AVX2 step renders. The AVX2 kernels add whole groups: the sums must have room for
// kGroupFrames - 1 entries past the run, to which they add 0 (Voice::kSpanPadding).
constexpr int32_t kGroupFrames = 8;

// Up to this pitch (2 source samples a step) the window entries that a group of 8 steps reads
// lie within 16 entries from the first one's: see windowRowsAvx2. Higher pitches gather.
constexpr int32_t kRowPitchLimit = 0x2000;
// Entries past the end of a voice's sample stream that a row load may touch.
constexpr int32_t kRowSlack = 16;

// What moves in a run, and by how much each step.
struct RunState {
    int32_t counter;  // 1/4096 source sample, from the start of the window
    int32_t volumeLeft;
    int32_t volumeRight;
    int32_t accumulator;
};
struct RunSteps {
    int32_t pitch;
    int32_t volumeLeft;
    int32_t volumeRight;
    int32_t envelope;
};

// Any pitch, any processor: the compiler's vectorisation of the plain steps.
void renderPlain(const int32_t* window, RunState& state, const RunSteps& steps, int32_t frames,
                 int32_t* sumLeft, int32_t* sumRight);
// The same compiled for AVX2; only call it when cpuHasAvx2().
void renderPlainAvx2(const int32_t* window, RunState& state, const RunSteps& steps, int32_t frames,
                     int32_t* sumLeft, int32_t* sumRight);
// Pitch at most kRowPitchLimit, AVX2 only; the window must have kRowSlack readable entries
// past the last one the run interpolates from.
void renderRowsAvx2(const int32_t* window, RunState& state, const RunSteps& steps, int32_t frames,
                    int32_t* sumLeft, int32_t* sumRight);

}  // namespace quietrun
