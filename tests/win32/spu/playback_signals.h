#pragma once
// The two test sounds: the looped ADPCM sine for voice 0 and the block of CD audio.
#include <cstdint>
#include <vector>

#include "freeze_record.h"

namespace spu_wine {

// The encoded voice loop (25 blocks, mark on the first, jump on the last).
std::vector<uint8_t> encodedVoiceLoop();

// Fills a CD audio record with one block of the stereo 1050 Hz sine, 44100 Hz, 16-bit.
void fillCdBlock(XaDecodeRecord& record);

}  // namespace spu_wine
