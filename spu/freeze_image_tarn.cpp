// spuTarn's save state: the register shadow, the whole sound RAM and one block of decoded CD
// audio. Only that memory image travels; the voices' running state does not, so after a load
// they play on with their old settings until the host rewrites them.
#include <cstring>

#include "exports.h"
#include "freeze_image.h"

namespace freeze_image {

uint32_t recordBytes() { return kFreezeRecordSize; }

// The header is not checked: hosts have written records with other tags, and the two images
// are taken as they are.
bool accepts(const uint8_t* /*record*/) { return true; }

void save(Chip& chip, uint8_t* bytes) {
    FreezeRecord* record = reinterpret_cast<FreezeRecord*>(bytes);
    std::memcpy(record->soundRam, chip.soundRamBytes(), sizeof(record->soundRam));
    std::memcpy(record->registers, chip.registerBytes(), sizeof(record->registers));
}

void load(Chip& chip, const uint8_t* bytes) {
    FreezeRecord* record = reinterpret_cast<FreezeRecord*>(const_cast<uint8_t*>(bytes));
    std::memcpy(chip.soundRamBytes(), record->soundRam, sizeof(record->soundRam));
    std::memcpy(chip.registerBytes(), record->registers, sizeof(record->registers));
    const int32_t sampleCount = record->cdAudio.sampleCount;  // signed: negatives replay too
    // Replayed through the entry point, which takes the (recursive) lock a second time.
    if (sampleCount <= kFreezeReplayMaxSamples) SPUplayADPCMchannel(&record->cdAudio);
}

}  // namespace freeze_image
