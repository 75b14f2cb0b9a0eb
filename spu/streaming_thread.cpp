#include "streaming_thread.h"

#include "plugin_state.h"
#include "sound_device.h"

DWORD WINAPI streamingThreadProc(LPVOID /*unused*/) {
    plugin::State& s = plugin::state();
    // Fixed for the thread's whole life. SPUopen took it from the settings just before starting
    // the thread, so an SPUconfigure reload on the host's thread cannot race with this read.
    const bool highResolution = s.streamHighResolution;
    // At the default timer resolution Sleep(1) lasts up to a scheduler tick; each pass then
    // just makes more frames.
    if (highResolution) timeBeginPeriod(1);

    // The flag is tested before the first sleep and after every pass; the pass in progress when
    // SPUclose sets it runs to its end, so SPUclose waits for at most one sleep and one pass.
    while (s.streamStopRequested.load(std::memory_order_acquire) == 0) {
        Sleep(1);
        if (SoundDevice* device = s.device) device->pump();
    }

    if (highResolution) timeEndPeriod(1);
    return 0;
}
