// spuTarnExact's save state: the whole chip (ExactCore's state image) and the cycles its host
// clock carries towards the next tick, so a loaded state plays on exactly as the saved one
// would have. It loads only its own kind of record: a record with another tag (another
// plug-in's), another version, or another size is refused whole, before anything is read past
// its header.
#include <cstring>

#include "exports.h"
#include "freeze_image.h"
#include "host_clock.h"

namespace freeze_image {

namespace {

constexpr uint32_t kCarryAt = 16;  // uint32: cycles towards the next tick
constexpr uint32_t kImageAt = 32;  // bytes 20..31 are kept zero

uint32_t u32At(const uint8_t* record, uint32_t at) {
    uint32_t v = 0;
    std::memcpy(&v, record + at, sizeof(v));
    return v;
}

}  // namespace

uint32_t recordBytes() { return kImageAt + static_cast<uint32_t>(Chip::kStateBytes); }

bool accepts(const uint8_t* record) {
    // Tag and NUL as SPUfreeze writes them; the byte after them is the host's.
    return std::memcmp(record, identity::kFreezeTag, identity::kFreezeTagBytes) == 0 &&
           u32At(record, 8) == identity::kFreezeVersion && u32At(record, 12) == recordBytes();
}

void save(Chip& chip, uint8_t* record) {
    const HostClock* clock = plugin::state().hostClock;
    const uint32_t carry = clock != nullptr ? clock->cycleCarry() : 0;
    std::memcpy(record + kCarryAt, &carry, sizeof(carry));
    chip.saveState(record + kImageAt);
}

void load(Chip& chip, const uint8_t* record) {
    chip.loadState(record + kImageAt);
    if (HostClock* clock = plugin::state().hostClock) {
        clock->setCycleCarry(u32At(record, kCarryAt));
        clock->discardQueued();
    }
}

}  // namespace freeze_image
