#pragma once
// The exact chip's CD audio input: the CD audio ring the host feeds, read one frame a tick.
//
// The chip takes a CD frame every tick of the host's clock, but the host hands CD audio over a
// sector at a time (588 frames of CD-DA; an XA sector is 2352 output frames in stereo, 9408 in
// mono), each when its emulated drive gets there, which is not always on the tick: in pcsxr a
// sector comes now and then up to a few dozen ticks late. A ring that plays from its first frame
// is empty by then, and the gap is heard. So the ring starts playing a fixed delay after its
// first frame came, and after running dry it waits that delay again: each sector then finds the
// delay's worth of frames still held, and one late by less than that is never heard. The delay
// is all the latency it costs, and the ring holds at most a sector more than it.
// spuTarn plays the same ring from the first frame (its CD stream is not changed by this).
#include <cstdint>

#include "cd_audio_stream.h"

class CdInput {
  public:
    // 50 ms: far above the lateness seen in the host, and a drive that delivers 0.3% slow
    // (pcsxr's CD-DA, about 43950 frames a second) runs the ring dry only after 15 s.
    static constexpr int32_t kStartDelayTicks = 2205;

    explicit CdInput(int32_t xaBufferSizeKiB) : stream(xaBufferSizeKiB) {}

    void feed(const XaDecodeRecord* record) { stream.feed(record); }
    void feedStereoFrames(const int16_t* frames, int32_t count) { stream.feedStereoFrames(frames, count); }
    // The frame for this tick: the ring's oldest while playing, otherwise silence (0, 0).
    void pop(int16_t& left, int16_t& right);

  private:
    CdAudioStream stream;
    int32_t waited = 0;  // ticks waited with frames held, up to kStartDelayTicks
    bool playing = false;
};
