#include "host_call.h"

namespace plugin {

namespace {
// The host's callback: void(void), __stdcall on Win32 hosts, a plain function on Linux ones.
// Hosts pass it as a pointer-sized integer (some declare an int), kept as such.
using InterruptCallback = void(CALLBACK*)();
}  // namespace

HostCall::~HostCall() {
    Chip* chip = lock_.core();
    if (chip == nullptr) return;
    // The flag can rise only once before it is acknowledged, so one call covers this entry.
    const bool rose = takeInterruptRise(*chip);
    const uintptr_t callback = state().registeredCallback;
    // The host's callback may call back into the plug-in, or block: not with the lock held.
    lock_.leave();
    if (rose && callback != 0) reinterpret_cast<InterruptCallback>(callback)();
}

}  // namespace plugin
