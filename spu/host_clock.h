#pragma once
// spuTarnExact's two clocks. A host that calls SPUasync(cycles) clocks the chip: every call runs
// exactly (carry + cycles) / 768 ticks on the host's thread and keeps the remainder, so voices,
// envelopes and the interrupt follow emulated time; the frames go into a queue that the
// streaming pass plays through the QueuePlayer. A host that never calls SPUasync gets spuTarn's
// behaviour: the streaming pass runs the chip for exactly the frames the device played.
//
// What switches: an SPUasync call makes the plug-in host-clocked. Once the device has played
// kHostGoneFrames frames without one (the host stopped calling, or is paused), the pass drives
// the chip again. Both switches fade over the jump in the sound.
//
// spuTarn has no HostClock (plugin::State::hostClock stays null). Every call runs with the
// global lock held.
#include <cstdint>

#include "chip.h"
#include "frame_queue.h"
#include "queue_player.h"

class HostClock {
public:
    static constexpr uint32_t kCyclesPerTick = 768;  // CPU cycles at 33.8688 MHz, one 44100 Hz tick
    static constexpr int32_t kHostGoneFrames = 22050;  // half a second of the device's playing
    // The queue's fill target: the device buffer, but at least two video frames of a 60 Hz host,
    // which delivers a frame's sound at once.
    static constexpr int32_t kMinTargetFrames = 1470;

    // Sized for a streaming buffer of soundBufferKiB: null without memory.
    static HostClock* make(int32_t soundBufferKiB);

    // SPUasync: runs the ticks the cycles complete into the queue.
    void advance(Chip& chip, uint32_t cycles);
    // The streaming pass: `frames` frames to `out` (4 bytes each, need not be aligned).
    void play(Chip& chip, uint8_t* out, int32_t frames);
    // SPUopen: the device starts empty; the queue plays from the target fill again.
    void restartDevice();

    // The cycles short of the next tick: part of a save state, so that a loaded state ticks
    // exactly where the saved one would have.
    uint32_t cycleCarry() const { return cycleCarry_; }
    void setCycleCarry(uint32_t carry) { cycleCarry_ = carry % kCyclesPerTick; }
    // After a load: what the queue holds belongs to the state that was left.
    void discardQueued();

private:
    HostClock() = default;

    uint32_t cycleCarry_ = 0;
    bool hostClocked_ = false;
    int32_t framesWithoutHost_ = 0;
    FrameQueue queue_;
    QueuePlayer player_;
};
