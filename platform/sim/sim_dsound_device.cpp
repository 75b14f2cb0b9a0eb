// DirectSoundCreate and the device object of the simulation: the checks a real device makes on
// what the plug-in asks for, and the buffers it creates.
#include "win32_dsound.h"

#include <cstddef>
#include <memory>

#include "sim_dsound_buffer.h"
#include "sim_dsound_state.h"

namespace sim::detail {

namespace {

constexpr DWORD kWindowsDescriptorBytes = 36;

class SoundDeviceObject final : public IDirectSound {
public:
    SoundDeviceObject() : cooperativeLevel_(std::make_shared<DWORD>(0)) {}

    ULONG STDMETHODCALLTYPE AddRef() override {
        std::lock_guard<std::mutex> lock(dsoundState().mutex);
        return ++references_;
    }

    ULONG STDMETHODCALLTYPE Release() override {
        {
            DsoundState& state = dsoundState();
            std::lock_guard<std::mutex> lock(state.mutex);
            if (--references_ != 0) return references_;
            --state.devicesAlive;
        }
        delete this;
        return 0;
    }

    HRESULT STDMETHODCALLTYPE SetCooperativeLevel(HWND, DWORD level) override {
        DsoundState& state = dsoundState();
        std::lock_guard<std::mutex> lock(state.mutex);
        const HRESULT armed = takeArmedFailure(state, DsoundOperation::CooperativeLevel);
        if (FAILED(armed)) return armed;
        if (level < DSSCL_NORMAL || level > DSSCL_WRITEPRIMARY) return DSERR_INVALIDPARAM;
        // The window is not checked: hosts pass their main window, tests often none.
        *cooperativeLevel_ = level;
        state.stats.lastCooperativeLevel = level;
        return DS_OK;
    }

    HRESULT STDMETHODCALLTYPE CreateSoundBuffer(LPCDSBUFFERDESC description,
                                                LPDIRECTSOUNDBUFFER* buffer,
                                                void* outer) override {
        if (buffer == nullptr) return DSERR_INVALIDPARAM;
        *buffer = nullptr;
        if (description == nullptr) return DSERR_INVALIDPARAM;
        DsoundState& state = dsoundState();
        std::lock_guard<std::mutex> lock(state.mutex);
        const bool primary = (description->dwFlags & DSBCAPS_PRIMARYBUFFER) != 0;
        const HRESULT armed = takeArmedFailure(
            state, primary ? DsoundOperation::PrimaryBuffer : DsoundOperation::StreamBuffer);
        if (FAILED(armed)) return armed;
        if (outer != nullptr) return DSERR_NOAGGREGATION;
        // The size of this platform's descriptor, of the older one without the 3D GUID, or the
        // 36 bytes of the 32-bit Windows descriptor, which is right for the DLLs and so may be
        // written as a number in code shared with them.
        if (description->dwSize != sizeof(DSBUFFERDESC) &&
            description->dwSize != offsetof(DSBUFFERDESC, guid3DAlgorithm) &&
            description->dwSize != kWindowsDescriptorBytes)
            return DSERR_INVALIDPARAM;
        if (primary) {
            // The primary buffer takes neither a size nor a format at creation: its format is
            // set afterwards with SetFormat.
            if (description->dwBufferBytes != 0 || description->lpwfxFormat != nullptr)
                return DSERR_INVALIDPARAM;
        } else {
            if (description->dwBufferBytes < DSBSIZE_MIN ||
                description->dwBufferBytes > DSBSIZE_MAX)
                return DSERR_INVALIDPARAM;
            const HRESULT format = checkPcmFormat(description->lpwfxFormat);
            if (FAILED(format)) return format;
        }
        auto* created = new SoundBuffer(cooperativeLevel_, description->dwFlags,
                                        description->dwBufferBytes,
                                        primary ? nullptr : description->lpwfxFormat);
        ++state.buffersAlive;
        if (!primary) {
            state.secondaries.insert(created);
            state.stream = created;
            state.releasedStream.clear();
            state.stats.streamBufferBytes = description->dwBufferBytes;
            state.stats.lastStreamFlags = description->dwFlags;
        }
        *buffer = created;
        return DS_OK;
    }

private:
    ~SoundDeviceObject() override = default;

    ULONG references_ = 1;
    std::shared_ptr<DWORD> cooperativeLevel_;  // 0 until SetCooperativeLevel
};

}  // namespace

}  // namespace sim::detail

HRESULT WINAPI DirectSoundCreate(LPCGUID device, LPDIRECTSOUND* directSound, void* outer) {
    using namespace sim::detail;
    DsoundState& state = dsoundState();
    std::lock_guard<std::mutex> lock(state.mutex);
    ++state.stats.directSoundCreateCalls;
    if (directSound == nullptr) return DSERR_INVALIDPARAM;
    *directSound = nullptr;
    const HRESULT armed = takeArmedFailure(state, DsoundOperation::Create);
    if (FAILED(armed)) return armed;
    if (outer != nullptr) return DSERR_NOAGGREGATION;
    if (!isDefaultDevice(device)) return DSERR_NODRIVER;
    *directSound = new SoundDeviceObject;
    ++state.devicesAlive;
    return DS_OK;
}
