#pragma once
// Who the plug-in is to hosts, users and save states: the one place where spuTarn and
// spuTarnExact differ, apart from the chip (chip.h) and its save-state image. Both are built
// from the same boundary sources; SPU_CHIP_EXACT selects spuTarnExact.
#include <cstdint>

#ifdef SPU_CHIP_EXACT
// File name of the plug-in (spuTarnExact.dll, libspuTarnExact.so), last part of its settings key
// and the directory of its Linux settings file.
#define SPU_PLUGIN_FILE_NAME "spuTarnExact"
#define SPU_PLUGIN_LIBRARY_NAME "Tarn's Exact Sound Driver"
#else
#define SPU_PLUGIN_FILE_NAME "spuTarn"
#define SPU_PLUGIN_LIBRARY_NAME "Tarn's DirectSound Driver"
#endif

namespace identity {

#ifdef SPU_CHIP_EXACT
// Its own save-state record, so that neither plug-in takes the other's for its own.
inline constexpr char kFreezeTag[8] = {'T', 'R', 'E', 'L', 'K', 'X', '\0', '\0'};
inline constexpr uint32_t kFreezeVersion = 1;
// The chip follows the host's SPUasync clock when the host gives one (host_clock.h).
inline constexpr bool kFollowsHostClock = true;
#else
inline constexpr char kFreezeTag[8] = {'T', 'R', 'E', 'L', 'K', '\0', '\0', '\0'};
inline constexpr uint32_t kFreezeVersion = 1;
// The chip runs on the audio device's clock alone; SPUasync is ignored.
inline constexpr bool kFollowsHostClock = false;
#endif

// Bytes of the tag SPUfreeze writes: its characters and the NUL.
constexpr uint32_t tagBytes(const char* tag) {
    uint32_t n = 0;
    while (tag[n] != '\0') ++n;
    return n + 1;
}
inline constexpr uint32_t kFreezeTagBytes = tagBytes(kFreezeTag);

}  // namespace identity
