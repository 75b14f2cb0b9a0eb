#pragma once
// Records and overrides of the Linux layer's library loading. The CD bridge is built for Linux
// only for its tests; they read and steer its loading through these (via platform/sim/sim.h).
#include <string>
#include <vector>

#include "win32_types.h"

namespace linux_platform {

// Every LoadLibraryA (with the path as given and the handle returned, null on failure) and
// FreeLibrary (path empty), in call order since the last clear.
struct LibraryEvent {
    std::string call;
    std::string path;
    HMODULE module = nullptr;
};
std::vector<LibraryEvent> libraryEvents();
void clearLibraryEvents();
// References taken with LoadLibraryA and not yet given back with FreeLibrary.
int librariesHeld();

// Makes GetModuleFileNameA report `windowsName` for `module` (e.g. a name without a backslash,
// or one longer than a caller's buffer).
void setModuleFileName(HMODULE module, const std::string& windowsName);
void clearModuleFileNames();

}  // namespace linux_platform
