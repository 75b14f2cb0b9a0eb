// SPUinit to SPUshutdown, SPUopen/SPUclose, and the two message boxes. None of these takes the
// global lock: the host calls init and shutdown while nothing else runs, and open and close
// must not hold it while they start or wait for the streaming thread, which needs it.
#include <new>

#include "exports.h"
#include "sound_device.h"
#include "spu_core.h"
#include "spu_settings.h"
#include "streaming_thread.h"

namespace {

// MB_OK | MB_TOPMOST | MB_TASKMODAL: the host's window may be full-screen, and the box must
// neither hide behind it nor let the host run on underneath.
constexpr UINT kMessageBoxStyle = MB_OK | MB_TOPMOST | MB_TASKMODAL;
static_assert(kMessageBoxStyle == 0x00042000, "message box style");

constexpr char kAboutText[] = "GUWASHI!";

// The core is about 530 KB and owns the CD ring; without memory the plug-in stays silent
// rather than letting anything be thrown into the host.
SpuCore* makeCore(int32_t xaBufferSizeKiB) {
    try {
        return new (std::nothrow) SpuCore(xaBufferSizeKiB);
    } catch (...) {
        return nullptr;
    }
}

}  // namespace

SPU_EXPORT int32_t CALLBACK SPUinit() {
    plugin::State& s = plugin::state();
    if (s.lockReady) return 0;  // already initialised: a second init would leak the objects
    InitializeCriticalSection(&s.lock);
    s.lockReady = true;
    // Settings first: the CD audio ring inside the core is sized from them.
    spuSettings().load();
    s.core = makeCore(spuSettings().getXaBufferSize());
    s.device = new (std::nothrow) SoundDevice();
    return 0;
}

SPU_EXPORT int32_t CALLBACK SPUshutdown() {
    plugin::State& s = plugin::state();
    if (!s.lockReady) return 0;  // never initialised, or shut down already
    // A host that shuts down while open would otherwise leave the thread running on freed
    // objects.
    SPUclose();
    delete s.core;
    delete s.device;
    // Cleared so that nothing can reach the freed objects.
    s.core = nullptr;
    s.device = nullptr;
    s.lockReady = false;
    DeleteCriticalSection(&s.lock);
    return 0;
}

SPU_EXPORT int32_t CALLBACK SPUtest() { return 0; }

SPU_EXPORT int32_t CALLBACK SPUopen(HWND window) {
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

SPU_EXPORT int32_t CALLBACK SPUclose() {
    plugin::State& s = plugin::state();
    // Without a running thread there is nothing open: SPUclose without SPUopen, a second
    // SPUclose, or an SPUopen that failed and has released everything already.
    if (s.streamThread == nullptr) return 0;

    s.streamStopRequested.store(1, std::memory_order_release);
    // No lock held here: a pass in progress needs the global lock to finish.
    WaitForSingleObject(s.streamThread, INFINITE);
    CloseHandle(s.streamThread);
    s.streamThread = nullptr;
    // Only now that nothing writes into them may the buffers go.
    s.device->closeStream();
    s.device->close();
    return 0;
}

SPU_EXPORT int32_t CALLBACK SPUconfigure() {
    // Creates the key with its defaults when it is missing, so the path shown exists.
    spuSettings().load();
    MessageBoxA(nullptr, SpuSettings::configureText(), plugin::kLibraryName, kMessageBoxStyle);
    return 0;
}

SPU_EXPORT void CALLBACK SPUabout() {
    MessageBoxA(nullptr, kAboutText, plugin::kLibraryName, kMessageBoxStyle);
}
