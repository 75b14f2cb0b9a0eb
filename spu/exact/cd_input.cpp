#include "cd_input.h"

void CdInput::feed(const XaDecodeRecord* record) {
    const int32_t before = stream.framesHeld();
    stream.feed(record);
    fed(before);
}

void CdInput::feedStereoFrames(const int16_t* frames, int32_t frameCount) {
    const int32_t before = stream.framesHeld();
    stream.feedStereoFrames(frames, frameCount);
    fed(before);
}

void CdInput::fed(int32_t heldBefore) {
    const int32_t block = stream.framesHeld() - heldBefore;
    if (block <= 0) return;  // nothing went in (a full ring, a refused block)
    sinceFeed = 0;
    // A ring smaller than block and margin starts when it is full: more than that cannot wait.
    const int32_t most = stream.getCapacity() / 2 - 1;
    startFill = block + kMarginFrames < most ? block + kMarginFrames : most;
}

void CdInput::pop(int16_t& left, int16_t& right) {
    left = 0;
    right = 0;
    if (!playing) {
        const int32_t held = stream.framesHeld();
        if (held == 0) return;
        if (sinceFeed < startFill) ++sinceFeed;
        if (held < startFill && sinceFeed < startFill) return;
        playing = true;
    }
    // Ran dry: silence from this tick on, until the ring holds the start fill again.
    if (!stream.popFrame(left, right)) playing = false;
}
