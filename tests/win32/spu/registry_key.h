#pragma once
// Direct access to the plug-in's key in Wine's real registry, for the tests that check what
// SPUinit and SPUconfigure leave there.
#include <windows.h>

#include <cstdint>

namespace spu_wine {

constexpr const char* kSettingsKey = "Software\\Vision Thing\\PSEmu Pro\\SPU\\spuTarn";

// Removes the key (it has no subkeys); true when it is gone afterwards.
bool deleteSettingsKey();
bool settingsKeyExists();

struct DwordValue {
    bool present = false;
    DWORD type = 0;
    DWORD size = 0;
    uint32_t value = 0;
};
DwordValue readSettingsValue(const char* name);
// Number of values under the key, or -1 when it cannot be opened.
int countSettingsValues();
bool writeSettingsDword(const char* name, uint32_t value);
// Any type and length, as a hand edit in the registry editor can leave it.
bool writeSettingsValue(const char* name, DWORD type, const void* data, DWORD size);

}  // namespace spu_wine
