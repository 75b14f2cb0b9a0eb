#pragma once
#include <cstdint>

// The chip's arithmetic wraps where C++ signed arithmetic would be undefined. These helpers
// do the wrapping through unsigned types so that the sanitizers stay quiet and the result is
// the two's-complement one the hardware gives.

// Low 32 bits of a signed product, as the chip's 32-bit multiplier leaves them.
inline int32_t wrappingMul32(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) * static_cast<uint32_t>(b));
}

inline int32_t wrappingAdd32(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}

inline int32_t wrappingSub32(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}

// Keeps the low 16 bits of a 32-bit value, sign-extended: 40000 becomes -25536.
inline int16_t wrapTo16(int32_t v) {
    return static_cast<int16_t>(static_cast<uint16_t>(static_cast<uint32_t>(v) & 0xFFFFu));
}

// Arithmetic right shift of a signed value (rounds towards minus infinity). C++20 defines
// >> on negative values this way and every compiler we build with already does so.
inline int32_t shiftRightArithmetic(int32_t v, int shift) { return v >> shift; }

// Bits lo..hi of the low 16 bits of a register value.
inline int32_t extractBits(uint32_t value, int lo, int hi) {
    return static_cast<int32_t>(((value & 0xFFFFu) >> lo) & ((1u << (hi - lo + 1)) - 1u));
}
