#include "plugin_state.h"

namespace plugin {

const char kLibraryName[] = "Tarn's DirectSound Driver";

State& state() {
    // A plain static object: constructed at library load, before any entry point can run.
    static State instance;
    return instance;
}

CoreLock::CoreLock() {
    State& s = state();
    if (!s.lockReady) return;  // Loaded state: nothing to guard and no lock to take
    EnterCriticalSection(&s.lock);
    held_ = true;
    core_ = s.core;
}

CoreLock::~CoreLock() {
    if (held_) LeaveCriticalSection(&state().lock);
}

}  // namespace plugin
