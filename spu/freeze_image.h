#pragma once
// What each plug-in keeps in its save-state record beyond the 16-byte header that SPUfreeze
// writes (tag, version, size from plugin_identity.h and recordBytes()). spuTarn's record is the
// register shadow, sound RAM and a CD audio block (freeze_image_tarn.cpp); spuTarnExact's the
// whole chip (freeze_image_exact.cpp). Each is called with the global lock held.
#include <cstdint>

#include "chip.h"

namespace freeze_image {

// Bytes of the whole record, header included.
uint32_t recordBytes();
// Whether a record the host hands over for loading may be loaded; only its header has been read.
bool accepts(const uint8_t* record);
// Fills everything past the header; the host's record is cleared already.
void save(Chip& chip, uint8_t* record);
void load(Chip& chip, const uint8_t* record);

}  // namespace freeze_image
