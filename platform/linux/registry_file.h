#pragma once
// The one registry key that outlives the process on Linux: the sound plug-in's settings key
// (HKEY_CURRENT_USER\Software\Vision Thing\PSEmu Pro\SPU\spuTarn) lives in a small text file,
// $XDG_CONFIG_HOME/spuTarn/settings (~/.config/spuTarn/settings when that is unset), one
// "Name=value" line per value. A value that is a plain decimal number below 2^32 is a REG_DWORD;
// any other text is kept as a REG_SZ, so a hand-edited "SoundBufferSize=big" reaches the plug-in
// as a value of the wrong type and it takes its default. The file is the truth: every open of
// the key reads it anew, so edits take effect at the next load, and every write of a value
// rewrites it. All other keys stay in memory.
#include <string>

#include "registry_store.h"

namespace linux_platform::detail {

// Whether a normalised key path is one that lives in a file: the settings key of spuTarn or of
// spuTarnExact (...\\SPU\\spuTarnExact, in $XDG_CONFIG_HOME/spuTarnExact/settings).
bool isFileBackedKey(const std::string& normalisedPath);

// The file of a file-backed key from the environment as it is now; empty for any other key, or
// when neither XDG_CONFIG_HOME (an absolute path) nor a home directory can be found, and the key
// then stays in memory.
std::string settingsFilePath(const std::string& normalisedPath);

// Brings the store's copy of the file-backed key in line with the file, before the key is
// opened: the key exists with the file's values when the file exists, and does not exist when
// the file does not. Called with the store's mutex held.
void loadFileBackedKey(RegistryStore& store, const std::string& normalisedPath);

// Writes the store's copy of the file-backed key to the file (creating its directory), by way of
// a temporary file renamed over it, so a reader never sees half a file. REG_DWORD values are
// written in decimal, REG_SZ as their text; values of other types are not kept. False when the
// file cannot be written; the key then lives on in memory for this process. Called with the
// store's mutex held.
bool saveFileBackedKey(RegistryStore& store, const std::string& normalisedPath);

}  // namespace linux_platform::detail
