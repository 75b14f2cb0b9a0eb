// The directory a module was loaded from, kept with its trailing backslash so that a relative
// part ("PLUGIN\PSEMU\" or "PSEMU\") can be appended directly.
#include <cstring>

#include "bridge_state.h"

bool ComputeBaseDirectory(HMODULE module) {
    const DWORD length = GetModuleFileNameA(module, baseDirectory, kPathSize);
    // 0 is failure; kPathSize means the name was cut (older systems even leave it unterminated).
    if (length == 0 || length >= kPathSize) {
        baseDirectory[0] = '\0';
        return false;
    }
    baseDirectory[length] = '\0';
    char* afterLastBackslash = baseDirectory;
    for (char* found = std::strchr(baseDirectory, '\\'); found != nullptr;
         found = std::strchr(found + 1, '\\')) {
        afterLastBackslash = found + 1;
    }
    // A name without any backslash leaves an empty directory: paths become relative.
    *afterLastBackslash = '\0';
    return true;
}
