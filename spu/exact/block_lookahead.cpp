#include "block_lookahead.h"

#include <cstring>


namespace {

constexpr uint32_t kRamMask = ChipState::kRamBytes - 1;
constexpr uint32_t kBlockMask = kRamMask & ~(kBlockBytes - 1);
constexpr uint32_t kBlockSpan = static_cast<uint32_t>(kSamplesPerBlock) << 12;
constexpr uint32_t kMaxStep = 0x4000;

}  // namespace

void BlockLookahead::fill(const ChipState& s, int32_t ticks) {
    // Where each voice goes next, block by block, as enterBlock and actOnBlockFlags will take
    // it: nothing from outside the chip changes the repeat register or sound RAM in a chunk.
    uint32_t next[ChipState::kVoices];
    uint16_t repeat[ChipState::kVoices];
    int needed[ChipState::kVoices];
    for (int n = 0; n < ChipState::kVoices; ++n) {
        const VoiceState& v = s.voices[n];
        count[n] = 0;
        used[n] = 0;
        const bool modulated = n > 0 && (s.pitchModulation & (1u << n)) != 0;
        const uint32_t step = modulated || v.pitch > kMaxStep ? kMaxStep : v.pitch;
        const uint64_t reach = v.position + static_cast<uint64_t>(step) * static_cast<uint32_t>(ticks);
        needed[n] = reach / kBlockSpan < kDepth ? static_cast<int>(reach / kBlockSpan) : kDepth;
        repeat[n] = v.repeatAddress;
        if (v.flagsHandled != 0) {
            next[n] = v.nextBlockByte;
        } else {
            next[n] = (v.blockFlags & kFlagEnd) != 0 ? blockByteOf(repeat[n])
                                                     : (v.blockByte + kBlockBytes) & kRamMask;
        }
    }
    for (int depth = 0; depth < kDepth; ++depth) {
        const uint8_t* lanes[kAdpcmLanes];
        AdpcmHistory histories[kAdpcmLanes];
        int16_t* outs[kAdpcmLanes];
        PreparedBlock* prepared[kAdpcmLanes];
        int filled = 0;
        for (int n = 0; n < ChipState::kVoices; ++n) {
            if (needed[n] <= depth) continue;
            PreparedBlock& b = blocks[n][depth];
            b.blockByte = next[n] & kBlockMask;
            b.historyIn = depth == 0 ? s.voices[n].history : blocks[n][depth - 1].historyOut;
            std::memcpy(b.bytes, s.soundRam + b.blockByte, kBlockBytes);
            const uint8_t flags = b.bytes[1];
            if ((flags & kFlagLoopStart) != 0) repeat[n] = static_cast<uint16_t>(b.blockByte >> 3);
            next[n] = (flags & kFlagEnd) != 0 ? blockByteOf(repeat[n])
                                              : (b.blockByte + kBlockBytes) & kRamMask;
            count[n] = static_cast<uint8_t>(depth + 1);
            lanes[filled] = b.bytes;
            histories[filled] = b.historyIn;
            outs[filled] = b.samples;
            prepared[filled] = &b;
            if (++filled == kAdpcmLanes) {
                decodeAdpcmBlocks(lanes, histories, outs, filled);
                for (int i = 0; i < filled; ++i) prepared[i]->historyOut = histories[i];
                filled = 0;
            }
        }
        if (filled > 0) {
            decodeAdpcmBlocks(lanes, histories, outs, filled);
            for (int i = 0; i < filled; ++i) prepared[i]->historyOut = histories[i];
        }
    }
}

const PreparedBlock* BlockLookahead::take(int n, uint32_t blockByte, const AdpcmHistory& history,
                                          const uint8_t* soundRam) {
    if (used[n] >= count[n]) return nullptr;
    const PreparedBlock& b = blocks[n][used[n]++];
    const uint32_t at = blockByte & kBlockMask;
    if (b.blockByte != at || b.historyIn.old != history.old ||
        b.historyIn.older != history.older || std::memcmp(soundRam + at, b.bytes, kBlockBytes) != 0) {
        used[n] = count[n];  // the chain after a miss is built on the wrong block
        return nullptr;
    }
    return &b;
}
