// The directory a module was loaded from, kept with its trailing backslash so that a relative
// part ("PLUGIN\PSEMU\" or "PSEMU\") can be appended directly.
//
// Windows calls the entry routine on every thread start and end, on that thread, and the entry
// routine rewrites the shared baseDirectory with the bridge's own directory. Any thread the host,
// the sound plug-in or DirectSound starts can therefore change the shared string in the middle
// of a path being built. Paths are built from a caller's own copy (ModuleDirectory); the shared
// string is only published to, byte by byte with atomic stores, and never read for a path.
#include <cstring>

#include "bridge_state.h"

namespace {

void publishBaseDirectory(const char* directory) {
    for (size_t i = 0; i < kPathSize; ++i) {
        __atomic_store_n(&baseDirectory[i], directory[i], __ATOMIC_RELAXED);
        if (directory[i] == '\0') break;
    }
}

}  // namespace

bool ModuleDirectory(HMODULE module, char* out) {
    const DWORD length = GetModuleFileNameA(module, out, kPathSize);
    // 0 is failure; kPathSize means the name was cut (older systems even leave it unterminated).
    if (length == 0 || length >= kPathSize) {
        out[0] = '\0';
        return false;
    }
    out[length] = '\0';
    char* afterLastBackslash = out;
    for (char* found = std::strchr(out, '\\'); found != nullptr;
         found = std::strchr(found + 1, '\\')) {
        afterLastBackslash = found + 1;
    }
    // A name without any backslash leaves an empty directory: paths become relative.
    *afterLastBackslash = '\0';
    return true;
}

bool ComputeBaseDirectory(HMODULE module) {
    char directory[kPathSize];
    const bool fits = ModuleDirectory(module, directory);
    publishBaseDirectory(directory);
    return fits;
}
