#pragma once
// The exact chip's CD audio input: the CD audio ring the host feeds, read at the drive's rate.
//
// The chip takes a CD frame every tick of the host's clock, but the host hands CD audio over a
// sector at a time (588 frames of CD-DA; an XA sector is 2352 output frames in stereo, 9408 in
// mono), each when its emulated drive gets there, which is not always on the tick: in pcsxr a
// sector comes now and then up to a few dozen ticks late. A ring that plays from its first frame
// is empty by then, and the gap is heard. So the ring starts playing a fixed delay after its
// first frame came, and after running dry it waits that delay again: each sector then finds the
// delay's worth of frames still held, and one late by less than that is never heard.
//
// The emulated drive's rate is not the chip's either: pcsxr delivers CD-DA about 0.3% slow
// (about 43950 frames an emulated second), which would drain the delay's margin in 15 s, and a
// drive a little fast would fill the ring until sectors lose their ends. So the ring is read at
// a fractional position (16.16) that moves by a step near one frame a tick, and the frame heard
// is the linear interpolation between the frame at the position and the next one in the ring.
// The step is steered by how many frames the ring holds when a sector comes (the first feed
// after a tick: later ones in a burst find the earlier ones held), which is the trough of the
// ring's sawtooth and the margin a late sector has, held at the start delay's level:
//   step = 1 + (error + integral / 2^17) / 2^16, at most 1.25% either way,
// with `error` the last trough's distance from the level in frames beyond a dead band of 128
// frames (and at most 512: one very late sector moves the step by 0.8% until the next comes),
// and `integral` its sum over the ticks. That is a PI loop with a natural period of about 13 s,
// a time constant of about 3 s and damping 0.7: slow enough that no pitch wobble is heard, fast
// enough to follow a drive 1% off within seconds. Only a sector's arrival is evidence: a stream
// that ends drains the ring with the step as it was, and a new start assumes the level until
// its first sector comes. Linear interpolation rather than anything longer: it is
// cheap and exact at fraction 0; its cost, a softening of the highest CD frequencies that varies
// with the fraction (none at 0, at most 2.4 dB at 10 kHz at one half: cos(pi * 10 / 44.1)), is
// heard only while the drive is off rate, and far less than a gap.
// The dead band keeps the step at exactly one frame a tick for a drive at the chip's rate (or
// sectors a few dozen ticks late): the fraction stays 0 and every frame is heard as fed, only
// the start delay later. It is wide on the full side: frames held beyond the level cost only
// latency until a sector no longer fits, so the step rises only once the trough leaves less
// room than the longest sector a host sends (9408 frames of 18900 Hz mono XA) and a margin. A
// host that feeds a few blocks ahead (as a device-clocked one does) is so played at exactly its
// pitch, and only a drive that really runs fast is caught up with. The integral outlives a dry ring: the next track on the same drive
// starts at the learnt rate.
//
// The read state is plain data, integer only, and does not go into the chip's save image: it
// describes the ring's contents, which belong to the host's stream and are not saved either, so
// a loaded image goes on reading the ring as it stands. spuTarn plays the same ring from the
// first frame at one frame a tick (its CD stream is not changed by this).
#include <cstdint>
#include <type_traits>

#include "cd_audio_stream.h"

class CdInput {
  public:
    // 50 ms: far above the lateness seen in the host.
    static constexpr int32_t kStartDelayTicks = 2205;
    static constexpr int32_t kUnitStep = 0x10000;  // one ring frame a tick, 16.16

    explicit CdInput(int32_t xaBufferSizeKiB) : stream(xaBufferSizeKiB) {}

    void feed(const XaDecodeRecord* record) {
        noteSector();
        stream.feed(record);
    }
    void feedStereoFrames(const int16_t* frames, int32_t count) {
        noteSector();
        stream.feedStereoFrames(frames, count);
    }
    // The frame for this tick: the ring read at the drive's rate while playing, otherwise
    // silence (0, 0).
    void pop(int16_t& left, int16_t& right);

  private:
    struct ReadState {
        int32_t waited = 0;        // ticks waited with frames held, up to kStartDelayTicks
        int32_t playing = 0;       // 1 while the ring is read
        int32_t fraction = 0;      // 0..kUnitStep - 1: the position past `held`, 16.16
        int32_t step = kUnitStep;  // how far the position moves a tick, 16.16
        int32_t integral = 0;      // the sum of the errors, within kIntegralLimit
        int32_t trough = 0;        // frames held when the last sector came
        int32_t ticked = 0;        // 1 when a tick ran since the last sector came
        int16_t held[2] = {0, 0};  // the frame at the position, already out of the ring
    };
    static_assert(std::is_trivially_copyable<ReadState>::value, "the read state is plain data");

    void noteSector();
    void startPlaying();
    void steer();
    // The trough above which the ring is caught up with: room for the longest sector is left.
    int32_t excessLevel() const;
    // Moves the position on by the step; false when the ring ran dry on the way.
    bool advance();

    CdAudioStream stream;
    ReadState read;
};
