// The library's entry routine. The language runtime is initialised before it on attach and
// finalised after it on detach by the toolchain's startup code; the routine itself only records
// where the bridge lives, at every notification, and never fails the load.
#include "bridge_state.h"

namespace {

void BridgeEntryRoutine(HMODULE module) {
    moduleHandle = module;
    ComputeBaseDirectory(module);
}

}  // namespace

#ifdef _WIN32

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD /*reason*/, LPVOID /*reserved*/) {
    BridgeEntryRoutine(module);
    return TRUE;
}

#else

// The shared object has no entry routine of its own: a constructor finds its own module as the
// system loader would have passed it.
__attribute__((constructor)) static void bridgeAttach() {
    HMODULE self = nullptr;
    GetModuleHandleExA(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        reinterpret_cast<LPCSTR>(&moduleHandle), &self);
    BridgeEntryRoutine(self);
}

#endif
