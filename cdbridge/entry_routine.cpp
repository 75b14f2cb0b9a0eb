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

// Called for process attach and detach and for every thread attach and detach, on the thread
// concerned: threads the host, the sound plug-in or DirectSound start run it while CD_Open may
// be building a path on another thread.
extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD /*reason*/, LPVOID /*reserved*/) {
    BridgeEntryRoutine(module);
    return TRUE;
}

#ifndef _WIN32

// The shared object has no loader notifications: a constructor finds its own module and makes
// the process-attach call the system loader would have made. Tests call DllMain as the loader
// does for thread starts.
__attribute__((constructor)) static void bridgeAttach() {
    HMODULE self = nullptr;
    GetModuleHandleExA(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        reinterpret_cast<LPCSTR>(&moduleHandle), &self);
    DllMain(self, DLL_PROCESS_ATTACH, nullptr);
}

#endif
