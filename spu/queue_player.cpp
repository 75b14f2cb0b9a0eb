#include "queue_player.h"

#include <cmath>
#include <cstddef>
#include <cstring>

namespace {

constexpr double kFrameRate = 44100.0;

int32_t clamp16(int32_t v) { return v < -32768 ? -32768 : (v > 32767 ? 32767 : v); }

double clampMagnitude(double v, double limit) { return v < -limit ? -limit : (v > limit ? limit : v); }

void store16(uint8_t* out, int32_t value) {
    const int16_t v = static_cast<int16_t>(clamp16(value));
    std::memcpy(out, &v, sizeof(v));  // the device's region need not be aligned
}

}  // namespace

void QueuePlayer::restart() {
    playing_ = false;
    phase_ = 0.0;
    markJump();
}

void QueuePlayer::emit(uint8_t* out, int32_t left, int32_t right) {
    if (jump_) {
        // The fade starts from where the output was and closes the gap linearly.
        fadeLeft_ = lastLeft_ - left;
        fadeRight_ = lastRight_ - right;
        fadeLeftFrames_ = kFadeFrames;
        jump_ = false;
    }
    if (fadeLeftFrames_ > 0) {
        left += fadeLeft_ * fadeLeftFrames_ / kFadeFrames;
        right += fadeRight_ * fadeLeftFrames_ / kFadeFrames;
        --fadeLeftFrames_;
    }
    lastLeft_ = clamp16(left);
    lastRight_ = clamp16(right);
    store16(out, lastLeft_);
    store16(out + 2, lastRight_);
}

void QueuePlayer::passThrough(uint8_t* out, int32_t frames) {
    for (int32_t i = 0; i < frames; ++i) {
        uint8_t* at = out + 4 * static_cast<size_t>(i);
        int16_t left = 0, right = 0;
        std::memcpy(&left, at, 2);
        std::memcpy(&right, at + 2, 2);
        emit(at, left, right);
    }
}

void QueuePlayer::play(FrameQueue& queue, uint8_t* out, int32_t frames) {
    if (queue.takeDropped()) markJump();
    // Far ahead (a fast-forwarding host, or frames made while the device was closed): back to
    // the target at once, dropping the oldest frames.
    if (queue.count() > 3 * target_) {
        queue.consume(queue.count() - target_);
        markJump();
    }
    for (int32_t i = 0; i < frames; ++i) {
        uint8_t* at = out + 4 * static_cast<size_t>(i);
        if (!playing_ && queue.count() >= target_) {
            playing_ = true;
            smoothedFill_ = queue.count();
            markJump();
        }
        if (playing_ && queue.count() < 2) {
            // Ran dry: fade to silence and wait for the target fill again.
            playing_ = false;
            phase_ = 0.0;
            markJump();
        }
        if (!playing_) {
            emit(at, 0, 0);
            continue;
        }
        int32_t l0, r0, l1, r1;
        queue.frameAt(0, &l0, &r0);
        queue.frameAt(1, &l1, &r1);
        emit(at, l0 + static_cast<int32_t>(std::lround((l1 - l0) * phase_)),
             r0 + static_cast<int32_t>(std::lround((r1 - r0) * phase_)));
        phase_ += ratio_;
        const int32_t whole = static_cast<int32_t>(phase_);
        // Keep the newest frame: it is the left end of the next interpolation.
        const int32_t step = whole < queue.count() - 1 ? whole : queue.count() - 1;
        queue.consume(step);
        phase_ -= step;
        if (phase_ >= 1.0) phase_ = 0.0;  // could not step that far: ran dry, caught above
    }
    if (playing_) steer(queue, frames);
}

void QueuePlayer::steer(const FrameQueue& queue, int32_t frames) {
    const double seconds = frames / kFrameRate;
    const double fill = queue.count() - phase_;
    const double weight = frames / (frames + kFillSmoothingSeconds * kFrameRate);
    smoothedFill_ += weight * (fill - smoothedFill_);
    const double error = (smoothedFill_ - target_) / target_;
    integral_ = clampMagnitude(integral_ + kIntegralGain * error * seconds, kMaxCorrection);
    ratio_ = 1.0 + clampMagnitude(kProportionalGain * error + integral_, kMaxCorrection);
}
