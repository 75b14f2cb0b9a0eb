#include "cd_input.h"

#include <algorithm>

namespace {
constexpr int32_t kFractionBits = 16;
// 1.25% of kUnitStep: a little over 1% so that a drive 1% off (a step of 655.36) is still met
// in full, not followed with a margin that shrinks for ever.
constexpr int32_t kMaxStepOffset = 819;
constexpr int32_t kDeadBandFrames = 128;  // about 3 ms: sectors this late move nothing
constexpr int32_t kMaxErrorFrames = 512;  // one very late sector moves the step by at most 0.8%
constexpr int32_t kIntegralShift = 17;
// 4032 samples of 18900 Hz mono XA at 44100 Hz, the most one call hands over, and a margin.
constexpr int32_t kLongestSectorFrames = 9408;
constexpr int32_t kSectorMarginFrames = 1024;
constexpr int32_t kIntegralLimit = kMaxStepOffset << kIntegralShift;  // no wind-up past the limit
// a + (b - a) * fraction / 2^16, rounded down; exact at fraction 0.
int16_t interpolate(int16_t a, int16_t b, int32_t fraction) {
    const int64_t delta = static_cast<int64_t>(b) - a;
    return static_cast<int16_t>(a + ((delta * fraction) >> kFractionBits));
}
}  // namespace

void CdInput::noteSector() {
    if (read.playing != 0 && read.ticked != 0) read.trough = stream.framesHeld();
    read.ticked = 0;
}

void CdInput::startPlaying() {
    read.playing = 1;
    read.fraction = 0;
    read.trough = kStartDelayTicks;  // no evidence yet
    stream.popFrame(read.held[0], read.held[1]);
}

int32_t CdInput::excessLevel() const {
    const int32_t room = stream.getCapacity() / 2 - kLongestSectorFrames - kSectorMarginFrames;
    return std::max(room, kStartDelayTicks + kDeadBandFrames);
}

void CdInput::steer() {
    int32_t error = 0;
    if (read.trough < kStartDelayTicks - kDeadBandFrames) {
        error = read.trough - (kStartDelayTicks - kDeadBandFrames);
    } else if (read.trough > excessLevel()) {
        error = read.trough - excessLevel();
    }
    error = std::clamp(error, -kMaxErrorFrames, kMaxErrorFrames);
    read.integral = std::clamp(read.integral + error, -kIntegralLimit, kIntegralLimit);
    const int32_t offset = error + (read.integral >> kIntegralShift);
    read.step = kUnitStep + std::clamp(offset, -kMaxStepOffset, kMaxStepOffset);
}

bool CdInput::advance() {
    read.fraction += read.step;
    while (read.fraction >= kUnitStep) {
        read.fraction -= kUnitStep;
        if (!stream.popFrame(read.held[0], read.held[1])) return false;
    }
    return true;
}

void CdInput::pop(int16_t& left, int16_t& right) {
    left = 0;
    right = 0;
    read.ticked = 1;
    if (read.playing == 0) {
        if (stream.framesHeld() == 0) return;  // the wait starts with the first frame
        if (read.waited < kStartDelayTicks) {
            ++read.waited;
            return;
        }
        startPlaying();
    } else {
        steer();
        if (!advance()) {
            // Ran dry: silence from this tick on, and the wait again before the next frames.
            read.playing = 0;
            read.waited = 0;
            return;
        }
    }
    int16_t next[2] = {read.held[0], read.held[1]};  // the last frame held when none follows
    stream.peekFrame(next[0], next[1]);
    left = interpolate(read.held[0], next[0], read.fraction);
    right = interpolate(read.held[1], next[1], read.fraction);
}
