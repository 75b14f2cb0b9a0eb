// Save states: the host's FreezeRecord holds the register shadow, the whole sound RAM and one
// block of decoded CD audio. Only that memory image travels; the voices' running state does
// not, so after a load they play on with their old settings until the host rewrites them.
#include <cstring>

#include "exports.h"
#include "chip.h"

namespace {

constexpr char kFreezeTag[6] = {'T', 'R', 'E', 'L', 'K', '\0'};

// Bytes 0..15 only: some hosts query with a 16-byte buffer, so nothing past byte 15 is touched
// here, and bytes 6 and 7 keep what the host put there.
void writeHeader(FreezeRecord* record) {
    std::memcpy(record->name, kFreezeTag, sizeof(kFreezeTag));
    const uint32_t version = kFreezeVersion;
    const uint32_t size = kFreezeRecordSize;
    std::memcpy(&record->version, &version, sizeof(version));
    std::memcpy(&record->size, &size, sizeof(size));
}

}  // namespace

SPU_EXPORT SpuResult CALLBACK SPUfreeze(uint32_t mode, FreezeRecord* record) {
    if (record == nullptr) return 0;
    // Outside SPUinit..SPUshutdown there is no state to save or restore.
    if (!plugin::state().lockReady || plugin::state().core == nullptr) return 0;

    if (mode != FreezeLoad) {
        // Cleared outside the lock: half a megabyte of host memory, nothing of the chip's.
        if (mode == FreezeSave) std::memset(record, 0, sizeof(FreezeRecord));
        writeHeader(record);
        if (mode == FreezeQuery) return 1;  // touches only the host's record: no lock

        plugin::CoreLock lock;
        Chip* core = lock.core();
        if (core == nullptr) return 0;
        std::memcpy(record->soundRam, core->soundRamBytes(), sizeof(record->soundRam));
        std::memcpy(record->registers, core->registerBytes(), sizeof(record->registers));
        return 1;
    }

    // The header is not checked: hosts have written records with other tags, and the two
    // images are taken as they are.
    plugin::CoreLock lock;
    Chip* core = lock.core();
    if (core == nullptr) return 0;
    std::memcpy(core->soundRamBytes(), record->soundRam, sizeof(record->soundRam));
    std::memcpy(core->registerBytes(), record->registers, sizeof(record->registers));
    const int32_t sampleCount = record->cdAudio.sampleCount;  // signed: negatives replay too
    // Replayed through the entry point, which takes the (recursive) lock a second time.
    if (sampleCount <= kFreezeReplayMaxSamples) SPUplayADPCMchannel(&record->cdAudio);
    return 1;
}
