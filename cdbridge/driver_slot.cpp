// Binding a CD-ROM driver by name. A missing name is no failure here: which entry points a
// caller needs is decided where they are called.
#include "driver_slot.h"

namespace {

// Handles below 32 are the loader's error codes, not modules.
bool isModule(HMODULE handle) {
    return reinterpret_cast<uintptr_t>(handle) >= 32;
}

template <typename Function>
void resolve(HMODULE module, const char* name, Function& target) {
    // GetProcAddress returns a generic function pointer; the driver's export has the type the
    // interface gives it.
    target = reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

}  // namespace

int32_t LoadCdrDriver(CdrDriver& slot, const char* path) {
    const HMODULE handle = LoadLibraryA(path);
    slot = CdrDriver{};
    slot.handle = handle;
    if (!isModule(handle)) return -1;

    // Resolved in the interface's order.
    resolve(handle, "CDRinit", slot.CDRinit);
    resolve(handle, "CDRshutdown", slot.CDRshutdown);
    resolve(handle, "CDRopen", slot.CDRopen);
    resolve(handle, "CDRclose", slot.CDRclose);
    resolve(handle, "CDRgetTN", slot.CDRgetTN);
    resolve(handle, "CDRgetTD", slot.CDRgetTD);
    resolve(handle, "CDRreadTrack", slot.CDRreadTrack);
    resolve(handle, "CDRgetBuffer", slot.CDRgetBuffer);
    resolve(handle, "CDRconfigure", slot.CDRconfigure);
    resolve(handle, "CDRtest", slot.CDRtest);
    resolve(handle, "CDRabout", slot.CDRabout);
    resolve(handle, "PSEgetLibName", slot.PSEgetLibName);
    resolve(handle, "PSEgetLibType", slot.PSEgetLibType);
    resolve(handle, "PSEgetLibVersion", slot.PSEgetLibVersion);
    return 0;
}

void UnloadCdrDriver(CdrDriver& slot) {
    if (isModule(slot.handle)) FreeLibrary(slot.handle);
    slot = CdrDriver{};
}
