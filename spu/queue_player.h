#pragma once
// Plays spuTarnExact's frame queue into the device at the device's rate while the host fills it
// at the host's. The two clocks never agree exactly (an emulator runs a little fast or slow, and
// fast-forwards or stalls now and then), so the player reads the queue through a fractional
// resampler whose ratio follows the queue's fill: a slowly steered rate keeps the fill at its
// target without clicks, and the latency stays near it. What a steered rate cannot absorb is
// handled at the edges: a queue that ran dry fades out and waits for the target fill again, one
// filled far past the target drops its oldest frames, and every such jump is faded over.
// All state is fixed-size; nothing allocates per pass.
#include <cstdint>

#include "frame_queue.h"

class QueuePlayer {
public:
    // The rate correction is a PI controller on the fill, smoothed over about 0.2 s. With these
    // gains a host 3% fast or slow is followed within a few seconds without an underrun (worked
    // out in a simulation of a host that delivers 64-frame and 735-frame bursts); the ratio is
    // bounded so that a host gone wild cannot bend the pitch by more than 5%.
    static constexpr double kProportionalGain = 0.1;     // ratio per unit of relative fill error
    static constexpr double kIntegralGain = 0.1;         // ratio per second per unit of error
    static constexpr double kMaxCorrection = 0.05;
    static constexpr double kFillSmoothingSeconds = 0.2;
    // Length of the fade over a jump: 3 ms, too short to hear as a fade, long enough not to click.
    static constexpr int32_t kFadeFrames = 128;

    // The fill to hold, in frames; a queue past three times that drops back to it.
    void setTarget(int32_t frames) { target_ = frames > 2 ? frames : 2; }
    int32_t target() const { return target_; }

    // Writes `frames` frames to `out` (4 bytes a frame, need not be aligned) from the queue.
    void play(FrameQueue& queue, uint8_t* out, int32_t frames);
    // Frames made elsewhere (the chip on the device's clock) go out through the fade only.
    void passThrough(uint8_t* out, int32_t frames);
    // The next frame does not follow the last one (a change of clock): fade over the jump, and
    // fill the queue up to the target again before playing from it.
    void restart();

    double ratio() const { return ratio_; }

private:
    void steer(const FrameQueue& queue, int32_t frames);
    void markJump() { jump_ = true; }
    // Writes one frame at `out`, faded from the last one written after a jump.
    void emit(uint8_t* out, int32_t left, int32_t right);

    int32_t target_ = 2048;
    bool playing_ = false;  // false: waiting for the fill to reach the target
    double phase_ = 0.0;    // position between the oldest frame and the next, 0 <= phase < 1
    double ratio_ = 1.0;    // queue frames per device frame
    double integral_ = 0.0;
    double smoothedFill_ = 0.0;

    bool jump_ = false;
    int32_t lastLeft_ = 0, lastRight_ = 0;  // the last frame written
    int32_t fadeLeft_ = 0, fadeRight_ = 0;  // the jump being faded over
    int32_t fadeLeftFrames_ = 0;
};
