#pragma once
// The decoder's look-ahead. Before a chunk of ticks, the blocks every voice can enter during it
// are decoded together, several voices' blocks at a time (decodeAdpcmBlocks), instead of one
// by one when each voice reaches them: the prediction of a block is a serial chain, and chains
// of different voices can run side by side. A prepared block is used only if the voice enters
// exactly that block, with exactly the history it was decoded from, and its 16 bytes in sound
// RAM are still the same; anything else is decoded afresh. So the look-ahead never changes a
// sample, holds nothing the save image needs, and is simply dropped when it misses.
#include <cstdint>

#include "chip_state.h"

struct PreparedBlock {
    uint32_t blockByte;
    AdpcmHistory historyIn;
    AdpcmHistory historyOut;
    uint8_t bytes[kBlockBytes];
    int16_t samples[kSamplesPerBlock];
};

class BlockLookahead {
  public:
    static constexpr int kDepth = 5;  // blocks a voice may enter in one 64-tick chunk at pitch 2

    // Prepares, for every voice, the blocks it may enter within `ticks` ticks.
    void fill(const ChipState& s, int32_t ticks);
    // The prepared block voice n enters now, or null when it has to be decoded.
    const PreparedBlock* take(int n, uint32_t blockByte, const AdpcmHistory& history,
                              const uint8_t* soundRam);

  private:
    PreparedBlock blocks[ChipState::kVoices][kDepth] = {};
    uint8_t count[ChipState::kVoices] = {};
    uint8_t used[ChipState::kVoices] = {};
};
