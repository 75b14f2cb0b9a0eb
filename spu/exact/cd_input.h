#pragma once
// The exact chip's CD audio input: the CD audio ring the host feeds, read one frame a tick.
//
// The chip takes a CD frame every tick of the host's clock, but the host hands CD audio over a
// sector at a time (588 frames of CD-DA; an XA sector is 2352 output frames in stereo, 9408 in
// mono), each when its emulated drive gets there, which is not always on the tick: in pcsxr a
// sector comes now and then a few hundred ticks late. A ring that plays from its first frame is
// empty by then, and the gap is heard. So the ring starts playing only once it holds the newest
// block and a margin on top (for XA, in practice, the second block), and after running dry it
// waits for that fill again: every block then finds at least the margin still in the ring, so a
// block late by up to the margin is never heard. The latency this costs is bounded by one block
// and the margin (53 ms for XA stereo, 213 ms for XA mono, 67 ms for CD-DA).
// When no block follows (the stream ended while the ring was filling), what the ring holds plays
// once a whole start fill's time has passed without one, so a stream's end is never held back
// until the next stream starts.
// spuTarn plays the same ring from the first frame (its CD stream is not changed by this).
#include <cstdint>

#include "cd_audio_stream.h"

class CdInput {
  public:
    // 50 ms: well above the lateness measured in the host, and it absorbs a drive that delivers
    // 0.3% slow (pcsxr's CD-DA, about 43950 frames a second) for 15 s before the ring runs dry.
    static constexpr int32_t kMarginFrames = 2205;

    explicit CdInput(int32_t xaBufferSizeKiB) : stream(xaBufferSizeKiB) {}

    void feed(const XaDecodeRecord* record);
    void feedStereoFrames(const int16_t* frames, int32_t frameCount);
    // The frame for this tick: the ring's oldest while playing, otherwise silence (0, 0).
    void pop(int16_t& left, int16_t& right);

    bool isPlaying() const { return playing; }

  private:
    // After a block went in: the start fill follows the newest block's size.
    void fed(int32_t heldBefore);

    CdAudioStream stream;
    int32_t startFill = 0;    // frames the ring must hold before it plays
    int32_t sinceFeed = 0;    // ticks since the last block went in (capped at startFill)
    bool playing = false;
};
