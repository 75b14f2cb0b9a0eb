// The test controls of the simulated DirectSound (sim.h): cursor modes, failures, the
// capture and the statistics.
#include <cstdio>
#include <cstdlib>

#include "sim.h"
#include "sim_dsound_buffer.h"
#include "sim_dsound_state.h"

namespace sim {

using detail::DsoundClock;
using detail::DsoundOperation;
using detail::DsoundState;
using detail::SoundBuffer;

namespace {

DsoundOperation operationNamed(const std::string& name) {
    if (name == "DirectSoundCreate") return DsoundOperation::Create;
    if (name == "SetCooperativeLevel") return DsoundOperation::CooperativeLevel;
    if (name == "CreateSoundBuffer.primary") return DsoundOperation::PrimaryBuffer;
    if (name == "CreateSoundBuffer.stream") return DsoundOperation::StreamBuffer;
    if (name == "Lock") return DsoundOperation::Lock;
    // A misspelt name would arm nothing and let a failure test pass without testing anything.
    std::fprintf(stderr, "sim: dsoundFailOperation: unknown operation \"%s\"\n",
                 name.c_str());
    std::abort();
}

void setModeLocked(DsoundState& state, CursorMode mode) {
    if (state.mode == mode) return;
    const auto now = DsoundClock::now();
    for (SoundBuffer* buffer : state.secondaries) buffer->settleLocked(now);  // the clock's share
    state.mode = mode;
    if (mode == CursorMode::Clock)
        for (SoundBuffer* buffer : state.secondaries) buffer->reanchorLocked(now);
}

// Moves the playing streaming buffer's cursor by `bytes`. In Clock mode the clock's progress is
// taken first and counting restarts after the jump, so that no byte is passed twice.
void moveStreamLocked(DsoundState& state, uint64_t bytes) {
    SoundBuffer* stream = state.stream;
    if (stream == nullptr || !stream->isPlayingLocked()) return;  // a stopped cursor stays put
    const auto now = DsoundClock::now();
    stream->settleLocked(now);
    stream->passLocked(bytes);
    stream->reanchorLocked(now);
}

}  // namespace

void dsoundSetCursorMode(CursorMode mode) {
    DsoundState& state = detail::dsoundState();
    std::lock_guard<std::mutex> lock(state.mutex);
    setModeLocked(state, mode);
}

void dsoundSetPlayCursor(uint32_t byteOffset) {
    DsoundState& state = detail::dsoundState();
    std::lock_guard<std::mutex> lock(state.mutex);
    SoundBuffer* stream = state.stream;
    if (stream == nullptr || !stream->isPlayingLocked()) return;
    stream->settleLocked(DsoundClock::now());
    const uint32_t size = stream->sizeLocked();
    // Forward to the new place, as a playing device gets there.
    const uint32_t target = byteOffset % size;
    moveStreamLocked(state, (uint64_t{target} + size - stream->playCursorLocked()) % size);
}

void dsoundAdvancePlayCursor(uint32_t bytes) {
    DsoundState& state = detail::dsoundState();
    std::lock_guard<std::mutex> lock(state.mutex);
    // The position wraps modulo the buffer size; the capture gets every byte played, whole laps
    // of the buffer included, as a device that played that long would have sounded.
    moveStreamLocked(state, bytes);
}

void dsoundFailOperation(const std::string& operation, HRESULT hr, bool persistent) {
    const DsoundOperation which = operationNamed(operation);
    DsoundState& state = detail::dsoundState();
    std::lock_guard<std::mutex> lock(state.mutex);
    detail::ArmedFailure& failure = state.failures[static_cast<int>(which)];
    failure.armed = FAILED(hr);
    failure.persistent = persistent;
    failure.result = hr;
}

void dsoundSetBufferLost(bool lost) {
    DsoundState& state = detail::dsoundState();
    std::lock_guard<std::mutex> lock(state.mutex);
    state.bufferLost = lost;
}

void dsoundHoldPasses(bool hold) {
    DsoundState& state = detail::dsoundState();
    std::lock_guard<std::mutex> lock(state.mutex);
    state.holdPasses = hold;
    if (!hold) state.passesReleased.notify_all();
}

void dsoundCaptureToWav(const std::string& path) {
    DsoundState& state = detail::dsoundState();
    std::lock_guard<std::mutex> lock(state.mutex);
    // What the cursor passed before this call is not part of the new capture.
    if (state.stream != nullptr) state.stream->settleLocked(DsoundClock::now());
    state.capture.start(path);
}

void dsoundStopCapture() {
    DsoundState& state = detail::dsoundState();
    std::lock_guard<std::mutex> lock(state.mutex);
    if (state.stream != nullptr) state.stream->settleLocked(DsoundClock::now());
    state.capture.finish();
}

DsoundStats dsoundStats() {
    DsoundState& state = detail::dsoundState();
    std::lock_guard<std::mutex> lock(state.mutex);
    DsoundStats stats = state.stats;
    stats.directSoundObjectsAlive = state.devicesAlive;
    stats.buffersAlive = state.buffersAlive;
    if (state.stream != nullptr) {
        state.stream->settleLocked(DsoundClock::now());  // a one-shot buffer may have ended
        stats.streamPlaying = state.stream->isPlayingLocked();
        stats.streamLooping = stats.streamPlaying && state.stream->isLoopingLocked();
    }
    return stats;
}

std::vector<uint8_t> dsoundStreamBufferContents() {
    DsoundState& state = detail::dsoundState();
    std::lock_guard<std::mutex> lock(state.mutex);
    return state.stream != nullptr ? state.stream->memoryLocked() : state.releasedStream;
}

bool dsoundWaitForPasses(int passes, int timeoutMs) {
    DsoundState& state = detail::dsoundState();
    std::unique_lock<std::mutex> lock(state.mutex);
    const uint64_t target = state.passes + static_cast<uint64_t>(passes > 0 ? passes : 0);
    return state.passSeen.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                   [&] { return state.passes >= target; });
}

void dsoundReset() {
    {
        DsoundState& state = detail::dsoundState();
        std::lock_guard<std::mutex> lock(state.mutex);
        if (state.stream != nullptr) state.stream->settleLocked(DsoundClock::now());
        state.capture.finish();
        setModeLocked(state, CursorMode::Clock);
        for (detail::ArmedFailure& failure : state.failures) failure = detail::ArmedFailure{};
        state.bufferLost = false;
        state.holdPasses = false;
        state.passesReleased.notify_all();
        state.stats = DsoundStats{};
    }
    timerReset();
}

}  // namespace sim
