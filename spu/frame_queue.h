#pragma once
// The frames spuTarnExact's chip made on the host's clock and the device has not played yet: a
// ring of 44100 Hz 16-bit stereo frames, allocated once at SPUinit. The host's thread appends
// (SPUasync) and the streaming thread takes (the pass), both with the global lock held, so the
// ring needs no synchronisation of its own. When the host runs so far ahead that the ring is
// full, the oldest frames go: the host's newest sound is what the player should hear next.
#include <cstdint>

class FrameQueue {
public:
    static constexpr int32_t kBytesPerFrame = 4;  // 16-bit left, then right, little-endian

    FrameQueue() = default;
    ~FrameQueue();
    FrameQueue(const FrameQueue&) = delete;
    FrameQueue& operator=(const FrameQueue&) = delete;

    // Makes room for `capacityFrames` frames; false (and no ring) without memory.
    bool allocate(int32_t capacityFrames);

    int32_t capacity() const { return capacity_; }
    int32_t count() const { return count_; }

    // Room for up to `wanted` frames at the end, in one contiguous span: the bytes to write them
    // to and how many fit there. The oldest frames are dropped to make the room when the ring is
    // full. commit() then appends what was written.
    uint8_t* reserve(int32_t wanted, int32_t* frames);
    void commit(int32_t frames);

    // Left and right of the frame `offset` frames after the oldest one (offset < count()).
    void frameAt(int32_t offset, int32_t* left, int32_t* right) const;
    // Takes the oldest frames: played, or skipped by the player.
    void consume(int32_t frames);
    void clear() { head_ = count_ = 0; }

    // Whether frames were dropped since the last call: the player smooths over the jump.
    bool takeDropped();

private:
    void dropOldest(int32_t frames);  // to make room: consume() and remember the jump

    int16_t* samples_ = nullptr;  // 2 per frame
    int32_t capacity_ = 0;
    int32_t head_ = 0;   // index of the oldest frame
    int32_t count_ = 0;  // frames held
    bool dropped_ = false;
};
