// SPUinit to SPUshutdown and SPUopen/SPUclose. None of these takes the global lock: the host
// calls init and shutdown while nothing else runs, and open and close must not hold it while
// they start or wait for the streaming thread, which needs it.
#include <new>

#include "exports.h"
#include "sound_device.h"
#include "chip.h"
#include "host_clock.h"
#include "spu_settings.h"
#include "streaming_thread.h"

namespace {

// How long SPUclose waits for the streaming thread. It ends within one sleep and one pass, since
// a pass never waits for the global lock once asked to stop; the bound only keeps the host's
// exit from hanging on an audio device that does not answer. Windows keeps the unbounded wait
// of the interface.
#ifdef _WIN32
constexpr DWORD kStreamStopWaitMs = INFINITE;
#else
constexpr DWORD kStreamStopWaitMs = 2000;
#endif

// The core is about 530 KB and owns the CD ring; without memory the plug-in stays silent
// rather than letting anything be thrown into the host.
Chip* makeCore(int32_t xaBufferSizeKiB) {
    try {
        return new (std::nothrow) Chip(xaBufferSizeKiB);
    } catch (...) {
        return nullptr;
    }
}

}  // namespace

SPU_EXPORT SpuResult CALLBACK SPUinit() {
    plugin::State& s = plugin::state();
    if (s.lockReady) return 0;  // already initialised: a second init would leak the objects
    InitializeCriticalSection(&s.lock);
    s.lockReady = true;
    // Settings first: the CD audio ring inside the core is sized from them.
    spuSettings().load();
    s.core = makeCore(spuSettings().getXaBufferSize());
    s.device = new (std::nothrow) SoundDevice();
    if (identity::kFollowsHostClock) s.hostClock = HostClock::make(spuSettings().getSoundBufferSize());
    return 0;
}

SPU_EXPORT SpuResult CALLBACK SPUshutdown() {
    plugin::State& s = plugin::state();
    if (!s.lockReady) return 0;  // never initialised, or shut down already
    // A host that shuts down while open would otherwise leave the thread running on freed
    // objects.
    SPUclose();
    // Called from a signal handler that interrupted this thread inside a locked entry point:
    // that entry point resumes on the core and the lock when the handler returns, so both must
    // outlive this call. The host is on its way out; the objects go with the process.
    if (plugin::insideLockedCall()) return 0;
    // A streaming thread that did not end in time still uses the core and the device.
    if (s.streamThread != nullptr) return 0;
    delete s.core;
    delete s.device;
    delete s.hostClock;
    // Cleared so that nothing can reach the freed objects.
    s.core = nullptr;
    s.device = nullptr;
    s.hostClock = nullptr;
    s.lockReady = false;
    DeleteCriticalSection(&s.lock);
    return 0;
}

SPU_EXPORT SpuResult CALLBACK SPUtest() { return 0; }

#ifdef _WIN32
SPU_EXPORT SpuResult CALLBACK SPUopen(HWND window) {
#else
// Linux hosts pass no window; DirectSound over SDL2 needs none.
SPU_EXPORT SpuResult CALLBACK SPUopen() {
    const HWND window = nullptr;
#endif
    plugin::State& s = plugin::state();
    // Open already (a second SPUopen), or nothing to stream from or to.
    if (s.streamThread != nullptr || s.core == nullptr || s.device == nullptr) return 0;

    SoundDevice& device = *s.device;
    if (!device.open(window)) return 0;  // open() has released what it made
    if (!device.openStream()) {
        // No buffer to fill: no thread. The plug-in stays silent until the next SPUopen.
        device.close();
        return 0;
    }

    if (s.hostClock != nullptr) {
        plugin::CoreLock lock;
        s.hostClock->restartDevice();  // the new buffer starts empty
    }
    s.streamStopRequested.store(0, std::memory_order_release);
    s.streamHighResolution = spuSettings().getHighResolutionMode() == 1;
    s.streamThread = CreateThread(nullptr, 0, streamingThreadProc, nullptr, 0, &s.streamThreadId);
    if (s.streamThread == nullptr) {
        device.closeStream();
        device.close();
        return 0;
    }
    SetThreadPriority(s.streamThread, THREAD_PRIORITY_ABOVE_NORMAL);
    return 0;
}

SPU_EXPORT SpuResult CALLBACK SPUclose() {
    plugin::State& s = plugin::state();
    // Without a running thread there is nothing open: SPUclose without SPUopen, a second
    // SPUclose, or an SPUopen that failed and has released everything already.
    if (s.streamThread == nullptr) return 0;

    s.streamStopRequested.store(1, std::memory_order_release);
    // The streaming thread cannot wait for itself; it ends after this pass and the next
    // SPUclose from the host's side releases what is left.
    if (GetCurrentThreadId() == s.streamThreadId) return 0;
    // No lock held here: a pass in progress needs the global lock to finish. This may run in a
    // signal handler on a thread that holds the lock; the pass then gives up instead.
    if (WaitForSingleObject(s.streamThread, kStreamStopWaitMs) != WAIT_OBJECT_0) {
        // The thread still runs: its buffers must stay. A later SPUclose tries again.
        return 0;
    }
    CloseHandle(s.streamThread);
    s.streamThread = nullptr;
    // Only now that nothing writes into them may the buffers go.
    s.device->closeStream();
    s.device->close();
    return 0;
}
