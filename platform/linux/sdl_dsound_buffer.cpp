// DirectSound buffers over SDL2: the primary buffer's format, and the looping streaming buffer
// whose play cursor SDL's audio callback moves.
#include "sdl_dsound_buffer.h"

#include <algorithm>
#include <cstring>

#include "sdl_dsound_output.h"

namespace linux_platform::detail {

namespace {

// Frames per SDL callback: the largest power of two up to half the buffer (1024 frames, 23 ms,
// with the default 8 KiB), at most 8192. SDL's PulseAudio backend asks the server to hold about
// one callback's worth, and the server plays silence whenever SDL's thread is late beyond that,
// which next to an emulator busy on the same cores a 6 ms chunk often is; so a user who raises
// "SoundBufferSize" for a busy machine gets a deeper device buffer too. Half the buffer at most,
// because the cursor must be seen to move: what one callback takes, the streaming thread refills
// before the next but one.
Uint16 callbackFramesFor(uint32_t bufferFrames) {
    uint32_t frames = 8192;
    while (frames > 64 && frames > bufferFrames / 2) frames /= 2;
    return static_cast<Uint16>(frames);
}

}  // namespace

// ---- Primary buffer -------------------------------------------------------------------------

ULONG STDMETHODCALLTYPE PrimaryBuffer::AddRef() {
    std::lock_guard<std::mutex> lock(mutex_);
    return ++references_;
}

ULONG STDMETHODCALLTYPE PrimaryBuffer::Release() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (--references_ != 0) return references_;
    }
    delete this;
    return 0;
}

HRESULT STDMETHODCALLTYPE PrimaryBuffer::GetCaps(LPDSBCAPS caps) {
    if (caps == nullptr || caps->dwSize != sizeof(DSBCAPS)) return DSERR_INVALIDPARAM;
    caps->dwFlags = flags_;
    caps->dwBufferBytes = 0;  // SDL mixes: there is no primary memory to write
    caps->dwUnlockTransferRate = 0;
    caps->dwPlayCpuOverhead = 0;
    return DS_OK;
}

HRESULT STDMETHODCALLTYPE PrimaryBuffer::GetCurrentPosition(LPDWORD playCursor,
                                                            LPDWORD writeCursor) {
    if (playCursor != nullptr) *playCursor = 0;
    if (writeCursor != nullptr) *writeCursor = 0;
    return DS_OK;
}

HRESULT STDMETHODCALLTYPE PrimaryBuffer::GetStatus(LPDWORD status) {
    if (status == nullptr) return DSERR_INVALIDPARAM;
    std::lock_guard<std::mutex> lock(mutex_);
    *status = playing_ ? (DSBSTATUS_PLAYING | DSBSTATUS_LOOPING) : 0;
    return DS_OK;
}

HRESULT STDMETHODCALLTYPE PrimaryBuffer::Lock(DWORD, DWORD, LPVOID* region1, LPDWORD length1,
                                              LPVOID* region2, LPDWORD length2, DWORD) {
    clearLockRegions(region1, length1, region2, length2);
    return DSERR_INVALIDCALL;  // written only at DSSCL_WRITEPRIMARY, which nothing here asks for
}

HRESULT STDMETHODCALLTYPE PrimaryBuffer::Unlock(LPVOID, DWORD, LPVOID, DWORD) {
    return DSERR_INVALIDCALL;
}

HRESULT STDMETHODCALLTYPE PrimaryBuffer::Play(DWORD reserved, DWORD priority, DWORD flags) {
    if (reserved != 0 || priority != 0 || (flags & DSBPLAY_LOOPING) == 0) return DSERR_INVALIDPARAM;
    std::lock_guard<std::mutex> lock(mutex_);
    playing_ = true;
    return DS_OK;
}

HRESULT STDMETHODCALLTYPE PrimaryBuffer::Stop() {
    std::lock_guard<std::mutex> lock(mutex_);
    playing_ = false;
    return DS_OK;
}

HRESULT STDMETHODCALLTYPE PrimaryBuffer::SetFormat(LPCWAVEFORMATEX format) {
    // SDL converts whatever it is given to the device's format, so the primary format is only
    // checked, as a device would.
    return checkPcmFormat(format);
}

// ---- Streaming buffer -----------------------------------------------------------------------

StreamBuffer* StreamBuffer::create(DWORD flags, DWORD bytes, const WAVEFORMATEX& format) {
    SDL_AudioSpec wanted;
    SDL_zero(wanted);
    wanted.freq = static_cast<int>(format.nSamplesPerSec);
    wanted.channels = static_cast<Uint8>(format.nChannels);
    wanted.samples = callbackFramesFor(bytes / format.nBlockAlign);
    if (format.wBitsPerSample == 16) {
        wanted.format = AUDIO_S16LSB;
    } else if (format.wBitsPerSample == 8) {
        wanted.format = AUDIO_U8;
    } else {
        return nullptr;
    }
    auto* buffer = new StreamBuffer(flags, bytes, format.wBitsPerSample == 8 ? 0x80 : 0x00);
    uint32_t chunkBytes = 0;
    if (!sdl_output::attach(buffer, wanted, &chunkBytes)) {
        delete buffer;  // attached to nothing, so its destructor detaches nothing
        return nullptr;
    }
    buffer->chunkBytes_ = std::min<uint32_t>(chunkBytes, bytes);
    return buffer;
}

StreamBuffer::StreamBuffer(DWORD flags, DWORD bytes, uint8_t silence)
    : flags_(flags), silence_(silence), memory_(bytes, silence) {}

StreamBuffer::~StreamBuffer() {
    // Returns once no callback reads this buffer; the device stays open for the next one.
    sdl_output::detach(this);
}

void StreamBuffer::fillFromDevice(Uint8* stream, uint32_t length) {
    std::lock_guard<std::mutex> lock(mutex_);
    fillLocked(stream, length);
}

void StreamBuffer::fillLocked(Uint8* stream, uint32_t length) {
    const uint32_t size = static_cast<uint32_t>(memory_.size());
    uint32_t done = 0;
    while (playing_ && done < length) {
        const uint32_t chunk = std::min(length - done, size - playCursor_);
        std::memcpy(stream + done, memory_.data() + playCursor_, chunk);
        done += chunk;
        playCursor_ = (playCursor_ + chunk) % size;
        if (playCursor_ == 0 && !looping_) playing_ = false;  // a one-shot buffer ends
    }
    std::memset(stream + done, silence_, length - done);
}

ULONG STDMETHODCALLTYPE StreamBuffer::AddRef() {
    std::lock_guard<std::mutex> lock(mutex_);
    return ++references_;
}

ULONG STDMETHODCALLTYPE StreamBuffer::Release() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (--references_ != 0) return references_;
    }
    delete this;
    return 0;
}

HRESULT STDMETHODCALLTYPE StreamBuffer::GetCaps(LPDSBCAPS caps) {
    if (caps == nullptr || caps->dwSize != sizeof(DSBCAPS)) return DSERR_INVALIDPARAM;
    caps->dwFlags = flags_;
    caps->dwBufferBytes = static_cast<DWORD>(memory_.size());
    caps->dwUnlockTransferRate = 0;
    caps->dwPlayCpuOverhead = 0;
    return DS_OK;
}

HRESULT STDMETHODCALLTYPE StreamBuffer::GetCurrentPosition(LPDWORD playCursor,
                                                           LPDWORD writeCursor) {
    std::lock_guard<std::mutex> lock(mutex_);
    const uint32_t size = static_cast<uint32_t>(memory_.size());
    // The write cursor: the bytes the next callback will take are as good as played.
    const uint32_t write = playing_ ? (playCursor_ + chunkBytes_) % size : playCursor_;
    if (playCursor != nullptr) *playCursor = playCursor_;
    if (writeCursor != nullptr) *writeCursor = write;
    return DS_OK;
}

HRESULT STDMETHODCALLTYPE StreamBuffer::GetStatus(LPDWORD status) {
    if (status == nullptr) return DSERR_INVALIDPARAM;
    std::lock_guard<std::mutex> lock(mutex_);
    *status = playing_ ? (DSBSTATUS_PLAYING | (looping_ ? DSBSTATUS_LOOPING : 0)) : 0;
    return DS_OK;
}

HRESULT STDMETHODCALLTYPE StreamBuffer::Lock(DWORD offset, DWORD bytes, LPVOID* region1,
                                             LPDWORD length1, LPVOID* region2, LPDWORD length2,
                                             DWORD flags) {
    clearLockRegions(region1, length1, region2, length2);
    if (region1 == nullptr || length1 == nullptr) return DSERR_INVALIDPARAM;
    std::lock_guard<std::mutex> lock(mutex_);
    const uint32_t size = static_cast<uint32_t>(memory_.size());
    if ((flags & DSBLOCK_FROMWRITECURSOR) != 0)
        offset = playing_ ? (playCursor_ + chunkBytes_) % size : playCursor_;
    // The regions are written without the lock, as DirectSound memory is; they lie behind the
    // play cursor, where the callback reads only a whole lap later.
    return splitLockRegions(memory_.data(), size, offset, bytes, flags, region1, length1, region2,
                            length2);
}

HRESULT STDMETHODCALLTYPE StreamBuffer::Unlock(LPVOID region1, DWORD length1, LPVOID region2,
                                               DWORD length2) {
    // Taking the lock orders what was written before every later callback.
    std::lock_guard<std::mutex> lock(mutex_);
    return checkUnlockRegions(memory_.data(), static_cast<uint32_t>(memory_.size()), region1,
                              length1, region2, length2);
}

HRESULT STDMETHODCALLTYPE StreamBuffer::Play(DWORD reserved, DWORD priority, DWORD flags) {
    if (reserved != 0 || priority != 0) return DSERR_INVALIDPARAM;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        playing_ = true;
        looping_ = (flags & DSBPLAY_LOOPING) != 0;
    }
    sdl_output::resume(this);
    return DS_OK;
}

HRESULT STDMETHODCALLTYPE StreamBuffer::Stop() {
    // The device keeps running and plays silence; the cursor stays where it stopped.
    std::lock_guard<std::mutex> lock(mutex_);
    playing_ = false;
    return DS_OK;
}

HRESULT STDMETHODCALLTYPE StreamBuffer::SetFormat(LPCWAVEFORMATEX) {
    return DSERR_INVALIDCALL;  // a secondary buffer keeps its creation format
}

}  // namespace linux_platform::detail
