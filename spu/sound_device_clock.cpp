// The streaming pass without an audio device. The plug-in stays silent, but the chip must still
// advance: voices end and envelopes move only as frames are made, and a game that waits for a
// sound to finish would otherwise wait for ever. So frames are made at the device's rate,
// 44100 a second, by the system clock, and dropped.
#include "plugin_state.h"
#include "sound_device.h"
#include "host_clock.h"
#include "spu_settings.h"

namespace {

constexpr uint32_t kFramesPerSecond = 44100;
constexpr uint32_t kMsPerSecond = 1000;

}  // namespace

void SoundDevice::startClock() {
    clockRunning = true;
    clockLastMs = timeGetTime();
    clockRemainder = 0;
    // A device's cursor shows at most a buffer length of progress between two passes; after a
    // longer stall (a stopped process) the clock likewise catches up no more than that, rather
    // than hold the global lock for the whole gap.
    clockMaxFrames = (static_cast<uint32_t>(spuSettings().getSoundBufferSize()) << 10) / 4;
}

void SoundDevice::pumpClock() {
    const DWORD now = timeGetTime();
    const uint32_t elapsedMs = now - clockLastMs;  // the clock wraps at 2^32 ms
    clockLastMs = now;
    // Thousandths of a frame: 44.1 frames a millisecond, the fraction kept for the next pass.
    const uint64_t due = static_cast<uint64_t>(elapsedMs) * kFramesPerSecond + clockRemainder;
    clockRemainder = static_cast<uint32_t>(due % kMsPerSecond);
    uint32_t frames = static_cast<uint32_t>(
        due / kMsPerSecond < clockMaxFrames ? due / kMsPerSecond : clockMaxFrames);

    // Gives up like a device pass when SPUclose asks the thread to stop while the lock is
    // held elsewhere; the frames of this pass are then simply not made.
    plugin::CoreLock lock(plugin::state().streamStopRequested);
    if (!lock.held()) return;
    Chip* core = lock.core();
    if (core == nullptr) return;
    while (frames > 0) {
        const int32_t chunk = frames < static_cast<uint32_t>(kClockScratchFrames)
                                  ? static_cast<int32_t>(frames)
                                  : kClockScratchFrames;
        // Through the host's clock where there is one: a host-clocked chip has made these frames
        // already and only its queue drains here.
        deviceFrames(*core, clockScratch, chunk);
        frames -= static_cast<uint32_t>(chunk);
    }
    core->refreshShadow();
}
