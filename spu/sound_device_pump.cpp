// The streaming pass: the part of the SoundDevice that the streaming thread runs about once a
// millisecond. The emulated chip advances by exactly the frames the device has played.
#include "fixed_point.h"
#include "plugin_state.h"
#include "sound_device.h"
#include "chip.h"
#include "host_clock.h"

namespace {

constexpr uint32_t kBytesPerFrame = 4;  // 16-bit left, 16-bit right

}  // namespace

void SoundDevice::countPass(uint32_t playCursor, uint32_t frames) {
    const DWORD now = timeGetTime();
    if (stats.passes > 0) {
        const uint32_t gapMs = now - lastPassMs;  // the clock wraps at 2^32 ms
        if (gapMs > stats.longestGapMs) stats.longestGapMs = gapMs;
        // 176.4 bytes a millisecond at 44100 Hz, 16-bit stereo.
        if (static_cast<uint64_t>(gapMs) * 1764 >= static_cast<uint64_t>(bufferBytes) * 10)
            ++stats.latePasses;
    }
    lastPassMs = now;
    ++stats.passes;
    // The cursor's own progress: a pass that fills only up to the buffer's end leaves part of
    // what was played to the next pass, which must not count those bytes again.
    stats.bytesPlayed += (playCursor + bufferBytes - lastPlayCursor) % bufferBytes;
    lastPlayCursor = playCursor;
    stats.framesMade += frames;
}

void SoundDevice::pump() {
    // A device whose open failed has no buffer: SPUopen starts no thread then, but stay safe.
    if (streamBuffer == nullptr || bufferBytes == 0) return;

    // Only the play cursor counts; a failed call leaves 0, as if the cursor were at the start.
    DWORD playCursor = 0;
    streamBuffer->GetCurrentPosition(&playCursor, nullptr);

    // Bytes played since the last pass. Progress is only known modulo the buffer length: after
    // a stall longer than one buffer the device has repeated old contents, and the chip simply
    // produces a buffer length fewer frames than were played.
    int32_t played = wrappingSub32(static_cast<int32_t>(playCursor),
                                   static_cast<int32_t>(writePosition));
    if (played < 0) played = wrappingAdd32(played, static_cast<int32_t>(bufferBytes));

    void* region1 = nullptr;
    DWORD length1 = 0;
    void* region2 = nullptr;
    DWORD length2 = 0;
    HRESULT locked = streamBuffer->Lock(writePosition, static_cast<DWORD>(played), &region1,
                                        &length1, &region2, &length2, 0);
    // A lost buffer is never restored, and any other failure leaves the regions undefined:
    // either way this pass writes nothing and the chip does not advance.
    if (FAILED(locked)) return;

    const uint32_t frames = region1 != nullptr ? length1 / kBytesPerFrame : 0;
    {
        // Gives up when SPUclose asks the thread to stop while the lock is held elsewhere: the
        // pass then writes nothing and leaves writePosition alone, as for a lost buffer.
        plugin::CoreLock lock(plugin::state().streamStopRequested);
        if (!lock.held()) {
            streamBuffer->Unlock(region1, length1, region2, length2);
            return;
        }
        if (Chip* core = lock.core()) {
            // The whole region in one call; the core writes bytewise where it must, since
            // after a cursor step that was not a whole frame the region need not be aligned.
            // spuTarnExact plays what the host's clock made, or runs the chip itself.
            if (HostClock* clock = plugin::state().hostClock)
                clock->play(*core, static_cast<uint8_t*>(region1), static_cast<int32_t>(frames));
            else
                core->produceFrames(static_cast<uint8_t*>(region1), static_cast<int32_t>(frames));
            core->refreshShadow();
        }
        countPass(static_cast<uint32_t>(playCursor), frames);
    }
    // Only region1 is filled. When the span crosses the buffer end, region2 (the buffer's start)
    // is filled by the next pass, long before the cursor gets back to it.
    streamBuffer->Unlock(region1, length1, region2, length2);
    writePosition = static_cast<uint32_t>(
        (static_cast<uint64_t>(writePosition) + length1) % bufferBytes);
}
