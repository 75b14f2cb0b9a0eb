#pragma once
// DirectSound buffers over SDL2. The streaming (secondary) buffer is real memory played in a loop
// by an SDL audio device (kept open across buffers, sdl_dsound_output.h): SDL's audio thread
// calls back for the next few hundred
// frames, the callback copies them from the buffer at the play cursor and moves the cursor on,
// exactly as a DirectSound device reads a looping buffer. The plug-in's streaming thread then
// sees the cursor move and refills what was played, so the sound chip runs on the audio
// device's clock. The primary buffer only keeps its format: SDL mixes for us.
#include <SDL.h>

#include <mutex>
#include <vector>

#include "dsound_buffer_rules.h"
#include "win32_dsound.h"

namespace linux_platform::detail {

class PrimaryBuffer final : public IDirectSoundBuffer {
public:
    explicit PrimaryBuffer(DWORD flags) : flags_(flags) {}
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE GetCaps(LPDSBCAPS caps) override;
    HRESULT STDMETHODCALLTYPE GetCurrentPosition(LPDWORD playCursor, LPDWORD writeCursor) override;
    HRESULT STDMETHODCALLTYPE GetStatus(LPDWORD status) override;
    HRESULT STDMETHODCALLTYPE Lock(DWORD, DWORD, LPVOID* region1, LPDWORD length1,
                                   LPVOID* region2, LPDWORD length2, DWORD) override;
    HRESULT STDMETHODCALLTYPE Unlock(LPVOID, DWORD, LPVOID, DWORD) override;
    HRESULT STDMETHODCALLTYPE Play(DWORD reserved, DWORD priority, DWORD flags) override;
    HRESULT STDMETHODCALLTYPE Stop() override;
    HRESULT STDMETHODCALLTYPE SetFormat(LPCWAVEFORMATEX format) override;

private:
    ~PrimaryBuffer() override = default;
    std::mutex mutex_;
    ULONG references_ = 1;
    const DWORD flags_;
    bool playing_ = false;
};

class StreamBuffer final : public IDirectSoundBuffer {
public:
    // Attaches to an SDL audio device for `format` (PCM, 8 or 16 bits); null when SDL has no
    // audio device to give, and the plug-in then stays silent.
    static StreamBuffer* create(DWORD flags, DWORD bytes, const WAVEFORMATEX& format);
    // SDL's audio thread, while this buffer is attached: the next `length` bytes for the device.
    void fillFromDevice(Uint8* stream, uint32_t length);

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

private:
    StreamBuffer(DWORD flags, DWORD bytes, uint8_t silence);
    ~StreamBuffer() override;
    void fillLocked(Uint8* stream, uint32_t length);

    std::mutex mutex_;  // cursor and play state, shared with SDL's audio thread
    ULONG references_ = 1;
    const DWORD flags_;
    const uint8_t silence_;        // the sample value of silence (0x80 for 8-bit)
    std::vector<uint8_t> memory_;  // the looping buffer; new buffers hold silence
    uint32_t chunkBytes_ = 0;      // what one callback takes: the write cursor's lead
    uint32_t playCursor_ = 0;      // byte offset, below the size
    bool playing_ = false;
    bool looping_ = false;
};

}  // namespace linux_platform::detail
