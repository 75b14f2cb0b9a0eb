#include "plugin_state.h"

namespace plugin {

const char kLibraryName[] = SPU_PLUGIN_LIBRARY_NAME;

State& state() {
    // A plain static object: constructed at library load, before any entry point can run.
    static State instance;
    return instance;
}

namespace {
// Locked entry points running on this thread (the lock is recursive: SPUfreeze nests one).
thread_local int lockedCallDepth = 0;
}  // namespace

CoreLock::CoreLock() {
    State& s = state();
    if (!s.lockReady) return;  // Loaded state: nothing to guard and no lock to take
    EnterCriticalSection(&s.lock);
    enter();
}

CoreLock::CoreLock(const std::atomic<uint8_t>& giveUpWhen) {
    State& s = state();
    if (!s.lockReady) return;
    // Host calls hold the lock for one register, word, block or CD audio block: a few
    // microseconds, so yielding between tries costs the pass nothing noticeable.
    while (TryEnterCriticalSection(&s.lock) == FALSE) {
        if (giveUpWhen.load(std::memory_order_acquire) != 0) return;
        Sleep(0);
    }
    enter();
}

void CoreLock::enter() {
    held_ = true;
    core_ = state().core;
    ++lockedCallDepth;
}

CoreLock::~CoreLock() { leave(); }

void CoreLock::leave() {
    if (!held_) return;
    held_ = false;
    core_ = nullptr;
    --lockedCallDepth;
    LeaveCriticalSection(&state().lock);
}

bool insideLockedCall() { return lockedCallDepth > 0; }

}  // namespace plugin
