#pragma once
// One DirectSound buffer of the simulation. A secondary buffer is real memory with a play cursor
// that, while playing, runs with a monotonic clock (Clock mode) or only when a test moves it
// (Manual mode); the bytes it passes go to the capture when it is the streaming buffer. The
// primary buffer has no memory here: the simulation mixes nothing, it only keeps the format.
#include <memory>
#include <vector>

#include "sim_dsound_state.h"

namespace sim::detail {

class SoundBuffer final : public IDirectSoundBuffer {
public:
    // `cooperativeLevel` is the device's, shared so that the buffer can check it after the
    // device object is gone. `format` is null for the primary buffer.
    SoundBuffer(std::shared_ptr<DWORD> cooperativeLevel, DWORD flags, DWORD bytes,
                const WAVEFORMATEX* format);

    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE GetCaps(LPDSBCAPS caps) override;
    HRESULT STDMETHODCALLTYPE GetCurrentPosition(LPDWORD playCursor, LPDWORD writeCursor) override;
    HRESULT STDMETHODCALLTYPE GetStatus(LPDWORD status) override;
    HRESULT STDMETHODCALLTYPE Lock(DWORD offset, DWORD bytes, LPVOID* region1, LPDWORD length1,
                                   LPVOID* region2, LPDWORD length2, DWORD flags) override;
    HRESULT STDMETHODCALLTYPE Unlock(LPVOID region1, DWORD length1, LPVOID region2,
                                     DWORD length2) override;
    HRESULT STDMETHODCALLTYPE Play(DWORD reserved, DWORD priority, DWORD flags) override;
    HRESULT STDMETHODCALLTYPE Stop() override;
    HRESULT STDMETHODCALLTYPE SetFormat(LPCWAVEFORMATEX format) override;

    // For the test controls; the state's mutex must be held.
    // Brings a clock-driven cursor up to `now`; nothing in Manual mode or while stopped.
    void settleLocked(DsoundClock::time_point now);
    // Starts counting clock progress afresh from `now` (after a mode change or a cursor jump).
    void reanchorLocked(DsoundClock::time_point now);
    // Moves the play cursor on by `bytes` (whole laps included), feeding the capture.
    void passLocked(uint64_t bytes);
    bool isPlayingLocked() const { return playing_; }
    bool isLoopingLocked() const { return looping_; }
    uint32_t playCursorLocked() const { return playCursor_; }
    uint32_t sizeLocked() const { return static_cast<uint32_t>(memory_.size()); }
    const std::vector<uint8_t>& memoryLocked() const { return memory_; }

    // A cursor advancing at 44100 frames of 4 bytes a second.
    static constexpr uint64_t kFramesPerSecond = 44100;
    static constexpr uint32_t kBytesPerFrame = 4;
    // The write cursor runs 10 ms (441 frames) ahead of the play cursor while playing, about as
    // far as a software-mixed device's does.
    static constexpr uint32_t kWriteLeadBytes = 441 * kBytesPerFrame;

private:
    ~SoundBuffer() override = default;
    bool isStreamLocked() const;

    ULONG references_ = 1;
    const bool primary_;
    const DWORD flags_;
    std::shared_ptr<DWORD> cooperativeLevel_;
    std::vector<uint8_t> memory_;

    bool playing_ = false;
    bool looping_ = false;
    uint32_t playCursor_ = 0;                // byte offset, below the size
    DsoundClock::time_point anchor_{};       // when clock counting (re)started
    uint64_t framesSinceAnchor_ = 0;         // clock frames already passed since the anchor
};

}  // namespace sim::detail
