#include "frame_queue.h"

#include <cstddef>
#include <new>

FrameQueue::~FrameQueue() { delete[] samples_; }

bool FrameQueue::allocate(int32_t capacityFrames) {
    delete[] samples_;
    samples_ = new (std::nothrow) int16_t[2 * static_cast<size_t>(capacityFrames)]();
    capacity_ = samples_ != nullptr ? capacityFrames : 0;
    head_ = count_ = 0;
    dropped_ = false;
    return samples_ != nullptr;
}

uint8_t* FrameQueue::reserve(int32_t wanted, int32_t* frames) {
    *frames = 0;
    if (capacity_ == 0 || wanted <= 0) return nullptr;
    if (count_ == capacity_) dropOldest(wanted < capacity_ ? wanted : capacity_);
    const int32_t tail = (head_ + count_) % capacity_;
    const int32_t free = capacity_ - count_;
    const int32_t toEnd = capacity_ - tail;  // the span may not wrap
    int32_t n = wanted < free ? wanted : free;
    if (n > toEnd) n = toEnd;
    *frames = n;
    return reinterpret_cast<uint8_t*>(samples_ + 2 * static_cast<size_t>(tail));
}

void FrameQueue::commit(int32_t frames) { count_ += frames; }

void FrameQueue::frameAt(int32_t offset, int32_t* left, int32_t* right) const {
    const size_t at = 2 * static_cast<size_t>((head_ + offset) % capacity_);
    *left = samples_[at];
    *right = samples_[at + 1];
}

void FrameQueue::consume(int32_t frames) {
    if (frames > count_) frames = count_;
    if (frames <= 0) return;
    head_ = (head_ + frames) % capacity_;
    count_ -= frames;
}

void FrameQueue::dropOldest(int32_t frames) {
    consume(frames);
    dropped_ = true;
}

bool FrameQueue::takeDropped() {
    const bool dropped = dropped_;
    dropped_ = false;
    return dropped;
}
