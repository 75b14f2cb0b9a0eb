#pragma once
// Time conversion between the host (binary minute, second, frame) and CD-ROM drivers (BCD).
#include <cstdint>

// Tens digit to the high nibble. Values of 100 or more do not fit two digits: the tens digit
// overflows into bits the byte drops, so 200 becomes 0x40 and 255 becomes 0x95.
inline uint8_t toBcd(uint8_t value) {
    const uint32_t packed = (static_cast<uint32_t>(value / 10) << 4) | (value % 10u);
    return static_cast<uint8_t>(packed & 0xFFu);
}

// Each nibble taken as a digit, even when it is not one: 0xFF becomes 15 * 10 + 15 = 165.
inline uint8_t fromBcd(uint8_t value) {
    const uint32_t binary = (static_cast<uint32_t>(value >> 4) * 10u) + (value & 0x0Fu);
    return static_cast<uint8_t>(binary & 0xFFu);
}
