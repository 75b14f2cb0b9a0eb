// DirectSoundCreate and the device object over SDL2. The device object holds a reference on
// SDL's audio subsystem (SDL_InitSubSystem / SDL_QuitSubSystem, which SDL counts), never
// SDL_Init or SDL_Quit: the host may use SDL itself, and its video and input must survive the
// plug-in. With no audio subsystem DirectSoundCreate fails; with no device the streaming buffer
// cannot be made; either way the plug-in stays silent and the host runs on.
#include <SDL.h>

#include <cstddef>
#include <mutex>

#include "sdl_dsound_buffer.h"
#include "win32_dsound.h"

namespace linux_platform::detail {

namespace {

constexpr DWORD kWindowsDescriptorBytes = 36;

class SdlSoundDevice final : public IDirectSound {
public:
    ULONG STDMETHODCALLTYPE AddRef() override {
        std::lock_guard<std::mutex> lock(mutex_);
        return ++references_;
    }

    ULONG STDMETHODCALLTYPE Release() override {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (--references_ != 0) return references_;
        }
        delete this;
        return 0;
    }

    HRESULT STDMETHODCALLTYPE SetCooperativeLevel(HWND, DWORD level) override {
        if (level < DSSCL_NORMAL || level > DSSCL_WRITEPRIMARY) return DSERR_INVALIDPARAM;
        // No window is needed: on Linux the host passes none, and SDL plays regardless of focus.
        std::lock_guard<std::mutex> lock(mutex_);
        level_ = level;
        return DS_OK;
    }

    HRESULT STDMETHODCALLTYPE CreateSoundBuffer(LPCDSBUFFERDESC description,
                                                LPDIRECTSOUNDBUFFER* buffer,
                                                void* outer) override {
        if (buffer == nullptr) return DSERR_INVALIDPARAM;
        *buffer = nullptr;
        if (description == nullptr) return DSERR_INVALIDPARAM;
        if (outer != nullptr) return DSERR_NOAGGREGATION;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (level_ == 0) return DSERR_PRIOLEVELNEEDED;  // as on Windows: level first
        }
        // This platform's descriptor, the older one without the 3D GUID, or the 36 bytes of the
        // 32-bit Windows descriptor, which code shared with the DLLs may write as a number.
        if (description->dwSize != sizeof(DSBUFFERDESC) &&
            description->dwSize != offsetof(DSBUFFERDESC, guid3DAlgorithm) &&
            description->dwSize != kWindowsDescriptorBytes)
            return DSERR_INVALIDPARAM;
        if ((description->dwFlags & DSBCAPS_PRIMARYBUFFER) != 0) {
            if (description->dwBufferBytes != 0 || description->lpwfxFormat != nullptr)
                return DSERR_INVALIDPARAM;
            *buffer = new PrimaryBuffer(description->dwFlags);
            return DS_OK;
        }
        if (description->dwBufferBytes < DSBSIZE_MIN || description->dwBufferBytes > DSBSIZE_MAX)
            return DSERR_INVALIDPARAM;
        const HRESULT format = checkPcmFormat(description->lpwfxFormat);
        if (FAILED(format)) return format;
        StreamBuffer* stream = StreamBuffer::create(description->dwFlags,
                                                    description->dwBufferBytes,
                                                    *description->lpwfxFormat);
        if (stream == nullptr) return DSERR_NODRIVER;  // no audio device to play on
        *buffer = stream;
        return DS_OK;
    }

    ~SdlSoundDevice() override { SDL_QuitSubSystem(SDL_INIT_AUDIO); }

private:
    std::mutex mutex_;
    ULONG references_ = 1;
    DWORD level_ = 0;  // 0 until SetCooperativeLevel
};

}  // namespace

}  // namespace linux_platform::detail

HRESULT WINAPI DirectSoundCreate(LPCGUID device, LPDIRECTSOUND* directSound, void* outer) {
    if (directSound == nullptr) return DSERR_INVALIDPARAM;
    *directSound = nullptr;
    if (outer != nullptr) return DSERR_NOAGGREGATION;
    if (!linux_platform::detail::isDefaultDevice(device)) return DSERR_NODRIVER;
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return DSERR_NODRIVER;
    *directSound = new linux_platform::detail::SdlSoundDevice;
    return DS_OK;
}
