#pragma once
// Sound RAM ADPCM: one 16-byte block (header, flags, 28 four-bit samples) into 28 samples, with
// the two-sample history carried from block to block, across loop jumps and across key-on.
#include <cstdint>

struct AdpcmHistory {
    int32_t old = 0;    // the last sample decoded
    int32_t older = 0;  // the one before
};

constexpr int kSamplesPerBlock = 28;
constexpr uint32_t kBlockBytes = 16;

// Flags byte (byte 1 of a block).
constexpr uint8_t kFlagEnd = 0x01;
constexpr uint8_t kFlagRepeat = 0x02;
constexpr uint8_t kFlagLoopStart = 0x04;

// Decodes the block whose 16 bytes start at `block` into out[0..27].
void decodeAdpcmBlock(const uint8_t* block, AdpcmHistory& history, int16_t* out);

// One sample from a signed nibble -8..7 (exposed for the tests of the shift rule).
int32_t adpcmNibbleValue(int32_t nibble, int shift);
