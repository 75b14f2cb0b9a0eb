#pragma once
// The streaming soak's numbers, shared by the run and the analysis of its recording. The tone
// is the playback test's voice 0 (playback_plan.h).
#include <cstdint>

namespace spu_wine {
namespace soak {

constexpr int kSeconds = 60;
// The default "SoundBufferSize" of 8 KiB.
constexpr uint64_t kStreamBufferBytes = 8 * 1024;
// The emulation thread's DMA blocks go to the upper half of sound RAM, far from the tone's
// loop at 0x1000: 8-byte units 0x8000 to 0xFFFF.
constexpr uint32_t kDmaFirstUnit = 0x8000;
constexpr uint32_t kDmaUnits = 0x8000;
constexpr uint32_t kDmaMaxWords = 1024;
// About one save/load pair in 50 rounds of a few milliseconds.
constexpr uint32_t kSaveOneIn = 50;
// A 1470-frame CD block lasts 33 ms: fed every 30 ms the ring fills up and the full-ring rule
// drops a block now and then, as with a host that decodes ahead.
constexpr int kCdBlockEveryMs = 30;
// Frames made a second against the wall clock: the null sink runs on the system clock.
constexpr double kRateTolerance = 0.01;

}  // namespace soak
}  // namespace spu_wine
