// Definitions of the bridge's module globals and the bounded path join they are built with.
#include "bridge_state.h"

#include <cstring>

HMODULE moduleHandle = nullptr;
char baseDirectory[kPathSize] = {};
uint32_t driverOpen = 0;
HostInfoRecord* hostRecord = nullptr;
char DriverList[kMaxDrivers][kDriverNameSize] = {};
uint32_t driverCount = 0;

CdrDriver openDriver = {};

bool JoinPath(char* out, const char* first, const char* second, const char* third) {
    const size_t lengths[3] = {std::strlen(first), std::strlen(second), std::strlen(third)};
    if (lengths[0] + lengths[1] + lengths[2] >= kPathSize) {
        out[0] = '\0';
        return false;
    }
    // Copy in order; `first` may be `out` itself only as the leading part.
    std::memmove(out, first, lengths[0]);
    std::memcpy(out + lengths[0], second, lengths[1]);
    std::memcpy(out + lengths[0] + lengths[1], third, lengths[2]);
    out[lengths[0] + lengths[1] + lengths[2]] = '\0';
    return true;
}
