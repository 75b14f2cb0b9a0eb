#pragma once
// The fuzzer's bytes read as a stream of little-endian values. Past the end every read gives
// zeros, so a target never has to check lengths and every input means something.
#include <cstddef>
#include <cstdint>
#include <cstring>

class FuzzInput {
  public:
    FuzzInput(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    bool empty() const { return position_ >= size_; }
    size_t remaining() const { return empty() ? 0 : size_ - position_; }

    template <typename T>
    T take() {
        T value{};
        const size_t n = remaining() < sizeof(T) ? remaining() : sizeof(T);
        if (n != 0) std::memcpy(&value, data_ + position_, n);
        position_ += sizeof(T);
        return value;
    }

    // Copies up to `count` bytes into `out` and returns how many there were.
    size_t takeBytes(void* out, size_t count) {
        const size_t n = remaining() < count ? remaining() : count;
        if (n != 0) std::memcpy(out, data_ + position_, n);
        position_ += count;
        return n;
    }

  private:
    const uint8_t* data_;
    size_t size_;
    size_t position_ = 0;
};
