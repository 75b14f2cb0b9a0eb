#include "host_clock.h"

#include <new>

HostClock* HostClock::make(int32_t soundBufferKiB) {
    HostClock* clock = new (std::nothrow) HostClock();
    if (clock == nullptr) return nullptr;
    // 256 frames of 4 bytes a KiB of streaming buffer.
    int32_t target = soundBufferKiB * 256;
    if (target < kMinTargetFrames) target = kMinTargetFrames;
    clock->player_.setTarget(target);
    // Room for a burst of fast-forwarding beyond three times the target before dropping.
    if (!clock->queue_.allocate(4 * target)) {
        delete clock;
        return nullptr;
    }
    return clock;
}

void HostClock::advance(Chip& chip, uint32_t cycles) {
    const uint64_t total = static_cast<uint64_t>(cycleCarry_) + cycles;
    uint64_t ticks = total / kCyclesPerTick;
    cycleCarry_ = static_cast<uint32_t>(total % kCyclesPerTick);
    if (!hostClocked_) {
        // From the device's clock to the host's: the queue fills up to the target first.
        hostClocked_ = true;
        queue_.clear();
        player_.restart();
    }
    framesWithoutHost_ = 0;
    // Straight into the queue, in the spans it has free; a full queue drops its oldest frames.
    while (ticks > 0) {
        int32_t span = 0;
        const int32_t wanted = ticks < 0x40000000u ? static_cast<int32_t>(ticks) : 0x40000000;
        uint8_t* at = queue_.reserve(wanted, &span);
        if (at == nullptr || span == 0) break;
        chip.produceFrames(at, span);
        queue_.commit(span);
        ticks -= static_cast<uint64_t>(span);
    }
}

void HostClock::play(Chip& chip, uint8_t* out, int32_t frames) {
    if (hostClocked_) {
        framesWithoutHost_ += frames;
        if (framesWithoutHost_ >= kHostGoneFrames) {
            // The host stopped calling: what it left is long played, the chip goes on with the
            // device from where it stands.
            hostClocked_ = false;
            player_.restart();
        }
    }
    if (hostClocked_) {
        player_.play(queue_, out, frames);
    } else {
        chip.produceFrames(out, frames);
        player_.passThrough(out, frames);
    }
}

void HostClock::restartDevice() { player_.restart(); }

void HostClock::discardQueued() {
    queue_.clear();
    player_.restart();
}
