#pragma once
// The ADPCM decoder: one 16-byte block of sound RAM into 28 samples through the block's
// prediction filter. A block's first sample is predicted from the block before it, so one
// voice's blocks decode strictly one after the other, each a chain of 28 dependent steps.
// Blocks of different voices are independent: decoding them side by side, one lane per
// voice, lets the processor overlap the chains instead of waiting on each in turn.
#include <cstdint>
#include <cstring>

namespace adpcm {

constexpr int kBlockBytes = 16;  // header, flags, 14 data bytes
constexpr int kSamplesPerBlock = 28;
constexpr int kFlagsByte = 1;
constexpr int32_t kMaxLanes = 24;            // one per voice
constexpr uint32_t kSoundRamMask = 0x7FFFF;  // byte index inside the 512 KiB

// Byte of sound RAM at 8 * blockAddress + offset. The index wraps inside the 512 KiB, so a
// block at 0xFFFF (which would end 7 bytes past the end) reads its tail from the start of
// sound RAM instead of from whatever lies beyond the array.
inline uint8_t ramByte(const uint8_t* ram, int32_t blockAddress, int offset) {
    if (ram == nullptr) return 0;  // a voice not bound to sound RAM plays silence
    const uint32_t index = static_cast<uint32_t>(blockAddress) * 8u + static_cast<uint32_t>(offset);
    return ram[index & kSoundRamMask];
}

// The 16 bytes of the block at blockAddress (8-byte units), wrapping as ramByte does. Inline:
// the plan reads a block per lane, and a call for a 16-byte copy cost more than the copy.
void readWrappingBlock(const uint8_t* ram, int32_t blockAddress, uint8_t* block);
inline void readBlock(const uint8_t* ram, int32_t blockAddress, uint8_t* block) {
    const uint32_t first = static_cast<uint32_t>(blockAddress) * 8u;
    if (ram != nullptr && first + kBlockBytes <= kSoundRamMask + 1) {
        std::memcpy(block, ram + first, kBlockBytes);  // the usual case: no wrap
        return;
    }
    readWrappingBlock(ram, blockAddress, block);
}

// One block to decode: its bytes, the predictor history it starts from (history1 the last
// sample before it), and where its 28 samples go. The history is updated in place.
struct Lane {
    uint8_t block[kBlockBytes];
    int32_t history1;
    int32_t history2;
    int32_t* samples;
};

// Decodes up to kMaxLanes independent blocks at once.
void decodeLanes(Lane* lanes, int32_t count);
// The same on AVX2 (adpcm_lanes_avx2.cpp), 1..kMaxLanes lanes; decodeLanes calls it when the
// processor has AVX2.
void decodeLanesAvx2(Lane* lanes, int32_t count);

}  // namespace adpcm
