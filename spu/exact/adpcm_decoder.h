#pragma once
// Sound RAM ADPCM: one 16-byte block (header, flags, 28 four-bit samples) into 28 samples, with
// the two-sample history carried from block to block, across loop jumps and across key-on.
#include <cstdint>

#include "open_readings.h"

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

// Decodes `count` (1..kAdpcmLanes) independent blocks at once, each with its own history, with
// the same results as decodeAdpcmBlock on each. The serial prediction chains of the blocks
// interleave, so the processor works on several of them at a time.
constexpr int kAdpcmLanes = 8;
void decodeAdpcmBlocks(const uint8_t* const* blocks, AdpcmHistory* histories, int16_t* const* outs,
                       int count);

// One sample before prediction from a signed nibble -8..7: the nibble sits in the top of a
// 16-bit word (t << 12) and is shifted right by `shift`. Shifts 13-15 of sound RAM samples keep
// only the sign: -8 gives -128, the rest 0 (the shift 12-15 recording; "same as 9" would give
// -64 and +56 and is ruled out).
inline int32_t adpcmNibbleValue(int32_t nibble, int shift) {
    if (shift > 12 && open_readings::kLargeShiftKeepsSignOnly) return (nibble >> 3) * 128;
    return (nibble * 4096) >> shift;
}
