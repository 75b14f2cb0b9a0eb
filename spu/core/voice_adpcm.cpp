// ADPCM block decoding and the block flags that chain, loop and end a voice's sample data.
#include <cstring>

#include "fixed_point.h"
#include "voice.h"

// Weights in 1/64; the predictor is (history1 * f0 + history2 * f1) >> 6.
const AdpcmFilter AdpcmFilterTable[kAdpcmFilterCount] = {
    {0, 0}, {60, 0}, {115, -52}, {98, -55}, {122, -60},
};

namespace {

// Block header (byte 0).
constexpr int kShiftLo = 0;
constexpr int kShiftHi = 3;
constexpr int kFilterLo = 4;
constexpr int kFilterHi = 7;

constexpr int kHeaderByte = 0;
constexpr int kFlagsByte = 1;
constexpr int kDataByte = 2;  // 14 bytes, two samples each, low nibble first

constexpr int32_t kNibbleScale = 4096;  // puts a nibble in the top 4 bits of 16
constexpr int kPredictorShift = 6;      // filter weights are in 1/64

// Flag bytes that mean something other than "go on to the next block".
constexpr uint8_t kFlagEnd = 1;
constexpr uint8_t kFlagLoopJump = 3;
constexpr uint8_t kFlagLoopMark = 6;
constexpr uint8_t kFlagEndMuted = 7;
constexpr uint8_t kFlagFirstInvalid = 8;  // 8..255: the voice stops where it is

// Byte of sound RAM at 8 * blockAddress + offset. The index wraps inside the 512 KiB, so a
// block at 0xFFFF (which would end 7 bytes past the end) reads its tail from the start of
// sound RAM instead of from whatever lies beyond the array.
inline uint8_t blockByte(const uint8_t* ram, int32_t blockAddress, int offset) {
    if (ram == nullptr) return 0;  // a voice not bound to sound RAM plays silence
    const uint32_t index = static_cast<uint32_t>(blockAddress) * 8u + static_cast<uint32_t>(offset);
    return ram[index & Voice::kSoundRamMask];
}

inline int32_t signedNibble(uint32_t nibble) {
    return nibble >= 8 ? static_cast<int32_t>(nibble) - 16 : static_cast<int32_t>(nibble);
}

inline int32_t nextBlock(int32_t address) {
    // Addresses are 16-bit register values: the block after 0xFFFE is block 0.
    return (address + Voice::kBlockUnits) & Voice::kAddressMask;
}

}  // namespace

void Voice::decodeBlock() {
    uint8_t block[kBlockBytes];
    const uint32_t first = static_cast<uint32_t>(blockAddress) * 8u;
    if (soundRam != nullptr && first + kBlockBytes <= kSoundRamMask + 1) {
        std::memcpy(block, soundRam + first, kBlockBytes);  // the usual case: no wrap
    } else {
        for (int i = 0; i < kBlockBytes; ++i) block[i] = blockByte(soundRam, blockAddress, i);
    }

    const int shift = extractBits(block[kHeaderByte], kShiftLo, kShiftHi);
    int filter = extractBits(block[kHeaderByte], kFilterLo, kFilterHi);
    // Headers can name filters 5..15, which the chip has no coefficients for; such blocks
    // decode as filter 0 (raw samples, no prediction) rather than reading past the table.
    if (filter >= kAdpcmFilterCount) filter = 0;
    const int32_t f0 = AdpcmFilterTable[filter].f0;
    const int32_t f1 = AdpcmFilterTable[filter].f1;

    // Entry 0 carries the previous block's last sample so that interpolation glides across
    // the boundary.
    sampleWindow[0] = sampleWindow[kSamplesPerBlock];

    // The nibbles do not depend on the history: expand them first, then run the predictor,
    // whose chain from one sample to the next is the only serial part of a decode.
    int32_t raw[kSamplesPerBlock];
    for (int i = 0; i < kSamplesPerBlock; ++i) {
        const uint32_t byte = block[kDataByte + i / 2];
        const uint32_t nibble = (i & 1) == 0 ? (byte & 0x0Fu) : (byte >> 4);
        raw[i] = shiftRightArithmetic(signedNibble(nibble) * kNibbleScale, shift);
    }
    int32_t h1 = history1;
    int32_t h2 = history2;
    for (int i = 0; i < kSamplesPerBlock; ++i) {
        // No rounding and no clamp: the hardware keeps the full predictor result, and so
        // does the history that the next block is predicted from.
        const int32_t prediction = wrappingAdd32(wrappingMul32(h1, f0), wrappingMul32(h2, f1));
        const int32_t sample = wrappingAdd32(raw[i], shiftRightArithmetic(prediction, kPredictorShift));
        h2 = h1;
        h1 = sample;
        sampleWindow[i + 1] = sample;
    }
    history1 = h1;
    history2 = h2;
}

void Voice::processBlockFlags() {
    const uint8_t flags = blockByte(soundRam, blockAddress, kFlagsByte);
    if (flags >= kFlagFirstInvalid) {
        // Not a flag combination sample data uses: treat it as corrupt data and stop here.
        phase = EnvelopePhase::Idle;
        return;
    }
    switch (flags) {
        case kFlagEnd:
        case kFlagEndMuted:
            phase = EnvelopePhase::Idle;
            blockAddress = nextBlock(blockAddress);
            break;
        case kFlagLoopJump:
            blockAddress = loopAddress & kAddressMask;
            break;
        case kFlagLoopMark:
            loopAddress = blockAddress;  // shown in the repeat address register
            blockAddress = nextBlock(blockAddress);
            break;
        default:  // 0, 2, 4, 5
            blockAddress = nextBlock(blockAddress);
            break;
    }
}
