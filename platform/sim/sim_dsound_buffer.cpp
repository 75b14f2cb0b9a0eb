// DirectSound buffers of the simulation: reference counting, cursors, Lock and Unlock.
#include "sim_dsound_buffer.h"

#include <algorithm>

namespace sim::detail {

using linux_platform::detail::clearLockRegions;
using linux_platform::detail::splitLockRegions;

SoundBuffer::SoundBuffer(std::shared_ptr<DWORD> cooperativeLevel, DWORD flags, DWORD bytes,
                         const WAVEFORMATEX* format)
    : primary_((flags & DSBCAPS_PRIMARYBUFFER) != 0),
      flags_(flags),
      cooperativeLevel_(std::move(cooperativeLevel)),
      memory_(format != nullptr ? bytes : 0, 0) {}  // new buffers hold silence

bool SoundBuffer::isStreamLocked() const { return dsoundState().stream == this; }

ULONG STDMETHODCALLTYPE SoundBuffer::AddRef() {
    std::lock_guard<std::mutex> lock(dsoundState().mutex);
    return ++references_;
}

ULONG STDMETHODCALLTYPE SoundBuffer::Release() {
    DsoundState& state = dsoundState();
    {
        std::lock_guard<std::mutex> lock(state.mutex);
        if (--references_ != 0) return references_;
        if (isStreamLocked()) {
            // What has played up to now still belongs in the capture, which then ends.
            settleLocked(DsoundClock::now());
            state.capture.finish();
            state.releasedStream = memory_;
            state.stream = nullptr;
        }
        state.secondaries.erase(this);
        --state.buffersAlive;
    }
    delete this;
    return 0;
}

HRESULT STDMETHODCALLTYPE SoundBuffer::GetCaps(LPDSBCAPS caps) {
    if (caps == nullptr || caps->dwSize != sizeof(DSBCAPS)) return DSERR_INVALIDPARAM;
    std::lock_guard<std::mutex> lock(dsoundState().mutex);
    caps->dwFlags = flags_;
    caps->dwBufferBytes = sizeLocked();  // 0 for the primary buffer, which has no memory here
    caps->dwUnlockTransferRate = 0;
    caps->dwPlayCpuOverhead = 0;
    return DS_OK;
}

HRESULT STDMETHODCALLTYPE SoundBuffer::GetCurrentPosition(LPDWORD playCursor,
                                                          LPDWORD writeCursor) {
    DsoundState& state = dsoundState();
    std::unique_lock<std::mutex> lock(state.mutex);
    if (isStreamLocked()) {
        ++state.stats.getCurrentPositionCalls;
        ++state.passes;
        state.passSeen.notify_all();
        state.passesReleased.wait(lock, [&state] { return !state.holdPasses; });
    }
    uint32_t play = 0;
    uint32_t write = 0;
    if (!primary_) {
        settleLocked(DsoundClock::now());
        play = playCursor_;
        write = playing_ ? static_cast<uint32_t>((uint64_t{play} + kWriteLeadBytes) % sizeLocked())
                         : play;
    }
    if (playCursor != nullptr) *playCursor = play;
    if (writeCursor != nullptr) *writeCursor = write;
    return DS_OK;
}

HRESULT STDMETHODCALLTYPE SoundBuffer::GetStatus(LPDWORD status) {
    if (status == nullptr) return DSERR_INVALIDPARAM;
    DsoundState& state = dsoundState();
    std::lock_guard<std::mutex> lock(state.mutex);
    settleLocked(DsoundClock::now());  // a one-shot buffer may have reached its end
    DWORD result = 0;
    if (playing_) result |= DSBSTATUS_PLAYING | (looping_ ? DSBSTATUS_LOOPING : 0);
    if (isStreamLocked() && state.bufferLost) result |= DSBSTATUS_BUFFERLOST;
    *status = result;
    return DS_OK;
}

HRESULT STDMETHODCALLTYPE SoundBuffer::Lock(DWORD offset, DWORD bytes, LPVOID* region1,
                                            LPDWORD length1, LPVOID* region2, LPDWORD length2,
                                            DWORD flags) {
    DsoundState& state = dsoundState();
    std::lock_guard<std::mutex> lock(state.mutex);
    clearLockRegions(region1, length1, region2, length2);
    if (primary_) return DSERR_INVALIDCALL;  // the primary is written only at DSSCL_WRITEPRIMARY
    if (isStreamLocked()) {
        ++state.stats.lockCalls;
        state.stats.lastLockOffset = offset;
        state.stats.lastLockBytes = bytes;
        const HRESULT armed = takeArmedFailure(state, DsoundOperation::Lock);
        if (FAILED(armed)) return armed;
        if (state.bufferLost) return DSERR_BUFFERLOST;
    }
    if (region1 == nullptr || length1 == nullptr) return DSERR_INVALIDPARAM;
    const uint32_t size = sizeLocked();
    if ((flags & DSBLOCK_FROMWRITECURSOR) != 0) {
        settleLocked(DsoundClock::now());
        offset = playing_ ? static_cast<uint32_t>((uint64_t{playCursor_} + kWriteLeadBytes) % size)
                          : playCursor_;
    }
    return splitLockRegions(memory_.data(), size, offset, bytes, flags, region1, length1, region2,
                            length2);
}

HRESULT STDMETHODCALLTYPE SoundBuffer::Unlock(LPVOID region1, DWORD length1, LPVOID region2,
                                              DWORD length2) {
    DsoundState& state = dsoundState();
    std::lock_guard<std::mutex> lock(state.mutex);
    if (primary_) return DSERR_INVALIDCALL;
    if (isStreamLocked()) ++state.stats.unlockCalls;
    return linux_platform::detail::checkUnlockRegions(memory_.data(),
                                                      static_cast<uint32_t>(memory_.size()),
                                                      region1, length1, region2, length2);
}

HRESULT STDMETHODCALLTYPE SoundBuffer::Play(DWORD reserved, DWORD priority, DWORD flags) {
    if (reserved != 0 || priority != 0) return DSERR_INVALIDPARAM;
    std::lock_guard<std::mutex> lock(dsoundState().mutex);
    if (*cooperativeLevel_ == 0) return DSERR_PRIOLEVELNEEDED;
    const bool loop = (flags & DSBPLAY_LOOPING) != 0;
    if (primary_) {
        if (!loop) return DSERR_INVALIDPARAM;  // a primary buffer only plays looping
        playing_ = looping_ = true;
        return DS_OK;
    }
    const auto now = DsoundClock::now();
    if (playing_) {
        settleLocked(now);  // playing on; only the looping flag changes
    } else {
        playing_ = true;
        reanchorLocked(now);
    }
    looping_ = loop;
    return DS_OK;
}

HRESULT STDMETHODCALLTYPE SoundBuffer::Stop() {
    std::lock_guard<std::mutex> lock(dsoundState().mutex);
    settleLocked(DsoundClock::now());
    playing_ = false;  // the cursor stays where it stopped; Play resumes there
    return DS_OK;
}

HRESULT STDMETHODCALLTYPE SoundBuffer::SetFormat(LPCWAVEFORMATEX format) {
    DsoundState& state = dsoundState();
    std::lock_guard<std::mutex> lock(state.mutex);
    if (!primary_) return DSERR_INVALIDCALL;  // a secondary buffer keeps its creation format
    if (*cooperativeLevel_ < DSSCL_PRIORITY) return DSERR_PRIOLEVELNEEDED;
    const HRESULT checked = checkPcmFormat(format);
    if (FAILED(checked)) return checked;
    state.stats.primaryChannels = format->nChannels;
    state.stats.primarySamplesPerSec = format->nSamplesPerSec;
    state.stats.primaryBitsPerSample = format->wBitsPerSample;
    return DS_OK;
}

void SoundBuffer::settleLocked(DsoundClock::time_point now) {
    if (primary_ || !playing_ || dsoundState().mode != CursorMode::Clock) return;
    const auto elapsed = std::chrono::duration_cast<std::chrono::nanoseconds>(now - anchor_);
    if (elapsed.count() <= 0) return;
    // uint64 holds nanoseconds × 44100 for about 116 hours of play without a re-anchor.
    const uint64_t frames = static_cast<uint64_t>(elapsed.count()) * kFramesPerSecond / 1000000000u;
    const uint64_t newFrames = frames - framesSinceAnchor_;
    framesSinceAnchor_ = frames;
    passLocked(newFrames * kBytesPerFrame);
}

void SoundBuffer::reanchorLocked(DsoundClock::time_point now) {
    anchor_ = now;
    framesSinceAnchor_ = 0;
}

void SoundBuffer::passLocked(uint64_t bytes) {
    const uint32_t size = sizeLocked();
    if (primary_ || !playing_ || size == 0 || bytes == 0) return;
    if (!looping_) bytes = std::min<uint64_t>(bytes, size - playCursor_);  // one shot: up to the end
    DsoundState& state = dsoundState();
    const bool capturing = isStreamLocked() && state.capture.active();
    uint64_t left = capturing ? bytes : 0;
    uint32_t at = capturing ? playCursor_ : static_cast<uint32_t>((playCursor_ + bytes) % size);
    while (left != 0) {
        const uint32_t chunk = static_cast<uint32_t>(std::min<uint64_t>(left, size - at));
        if (capturing) state.capture.append(memory_.data() + at, chunk);
        left -= chunk;
        at = (at + chunk) % size;
    }
    if (!looping_ && at == 0) playing_ = false;  // a one-shot buffer stops at its end
    playCursor_ = at;
}

}  // namespace sim::detail
