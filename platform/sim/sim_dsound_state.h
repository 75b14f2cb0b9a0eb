#pragma once
// The one state of the simulated DirectSound, shared by the device, its buffers and the test
// controls. Everything in it is guarded by `mutex`, the simulation's own lock: the plug-in's
// streaming thread and a test thread moving the cursor meet here, and neither may ever need a
// lock of the plug-in's.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <set>
#include <vector>

#include "linux/dsound_buffer_rules.h"
#include "sim.h"
#include "sim_wav_capture.h"
#include "win32_dsound.h"

namespace sim::detail {

class SoundBuffer;

using DsoundClock = std::chrono::steady_clock;

// Calls whose failure a test can arm (sim::dsoundFailOperation).
enum class DsoundOperation { Create, CooperativeLevel, PrimaryBuffer, StreamBuffer, Lock, Count };

struct ArmedFailure {
    bool armed = false;
    bool persistent = false;
    HRESULT result = S_OK;
};

struct DsoundState {
    std::mutex mutex;
    std::condition_variable passSeen;  // signalled by GetCurrentPosition on the streaming buffer

    CursorMode mode = CursorMode::Clock;
    ArmedFailure failures[static_cast<int>(DsoundOperation::Count)];
    bool bufferLost = false;
    bool holdPasses = false;
    std::condition_variable passesReleased;  // signalled when holdPasses is cleared
    WavCapture capture;

    // Call counters and "last" fields; the alive counts and the play state are filled in by
    // dsoundStats from the fields below.
    DsoundStats stats;
    int devicesAlive = 0;
    int buffersAlive = 0;
    uint64_t passes = 0;  // GetCurrentPosition calls on the streaming buffer, never reset

    std::set<SoundBuffer*> secondaries;   // alive secondary buffers
    SoundBuffer* stream = nullptr;        // the last secondary buffer created, while alive
    std::vector<uint8_t> releasedStream;  // contents of the streaming buffer at its release
};

// Never destroyed: a plug-in's thread may still call in while the process exits.
DsoundState& dsoundState();

// Takes an armed failure of `operation`, if any, and returns its result (S_OK if none).
// Called with the state's mutex held.
HRESULT takeArmedFailure(DsoundState& state, DsoundOperation operation);

using linux_platform::detail::checkPcmFormat;
using linux_platform::detail::isDefaultDevice;

}  // namespace sim::detail
