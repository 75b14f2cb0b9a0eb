// Save states: SPUfreeze's modes around the plug-in's own record (freeze_image.h). The header,
// bytes 0..15, is the same for both plug-ins: tag, version, size of the whole record.
#include <cstring>

#include "exports.h"
#include "freeze_image.h"

namespace {

// Bytes 0..15 only: some hosts query with a 16-byte buffer, so nothing past byte 15 is touched
// here, and the name field's bytes after the tag's NUL keep what the host put there.
void writeHeader(FreezeRecord* record) {
    static_assert(sizeof(identity::kFreezeTag) == sizeof(record->name), "tag field");
    std::memcpy(record->name, identity::kFreezeTag, identity::kFreezeTagBytes);
    const uint32_t version = identity::kFreezeVersion;
    const uint32_t size = freeze_image::recordBytes();
    std::memcpy(&record->version, &version, sizeof(version));
    std::memcpy(&record->size, &size, sizeof(size));
}

}  // namespace

SPU_EXPORT SpuResult CALLBACK SPUfreeze(uint32_t mode, FreezeRecord* record) {
    if (record == nullptr) return 0;
    // Outside SPUinit..SPUshutdown there is no state to save or restore.
    if (!plugin::state().lockReady || plugin::state().core == nullptr) return 0;
    uint8_t* bytes = reinterpret_cast<uint8_t*>(record);

    if (mode != FreezeLoad) {
        // Cleared outside the lock: host memory, nothing of the chip's.
        if (mode == FreezeSave) std::memset(bytes, 0, freeze_image::recordBytes());
        writeHeader(record);
        if (mode == FreezeQuery) return 1;  // touches only the host's record: no lock

        plugin::CoreLock lock;
        Chip* core = lock.core();
        if (core == nullptr) return 0;
        freeze_image::save(*core, bytes);
        return 1;
    }

    if (!freeze_image::accepts(bytes)) return 0;
    plugin::CoreLock lock;
    Chip* core = lock.core();
    if (core == nullptr) return 0;
    freeze_image::load(*core, bytes);
    return 1;
}
