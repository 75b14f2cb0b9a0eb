#include "sound_device.h"

#include "plugin_state.h"
#include "spu_settings.h"

namespace {

// The streaming buffer always plays 44100 Hz 16-bit stereo: one frame is 4 bytes, left sample at
// byte 0, right at byte 2, little-endian.
WAVEFORMATEX streamFormat() {
    WAVEFORMATEX format = {};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = 2;
    format.nSamplesPerSec = 44100;
    format.nAvgBytesPerSec = 176400;
    format.nBlockAlign = 4;
    format.wBitsPerSample = 16;
    format.cbSize = 0;
    return format;
}

template <typename T>
void releaseInto(T*& object) {
    if (object != nullptr) object->Release();
    object = nullptr;
}

}  // namespace

bool SoundDevice::open(HWND window) {
    if (FAILED(DirectSoundCreate(nullptr, &directSound, nullptr))) {
        directSound = nullptr;
        return false;
    }
    if (FAILED(directSound->SetCooperativeLevel(window, DSSCL_PRIORITY))) {
        close();
        return false;
    }
    DSBUFFERDESC primaryDesc = {};
    primaryDesc.dwSize = sizeof(DSBUFFERDESC);
    primaryDesc.dwFlags = DSBCAPS_PRIMARYBUFFER;
    if (FAILED(directSound->CreateSoundBuffer(&primaryDesc, &primaryBuffer, nullptr))) {
        primaryBuffer = nullptr;
        close();
        return false;
    }

    const SpuSettings& settings = spuSettings();
    WAVEFORMATEX format = {};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = static_cast<WORD>(settings.getChannels());
    format.nSamplesPerSec = static_cast<DWORD>(settings.getSampleRate());
    format.wBitsPerSample = static_cast<WORD>(settings.getBytesPerSample() * 8);
    format.nBlockAlign = static_cast<WORD>((format.wBitsPerSample / 8) * format.nChannels);
    format.nAvgBytesPerSec = static_cast<DWORD>(format.nBlockAlign) * format.nSamplesPerSec;
    format.cbSize = 0;
    primaryBuffer->SetFormat(&format);  // a device that refuses still mixes our secondary buffer
    return true;
}

bool SoundDevice::openStream() {
    if (directSound == nullptr) return false;
    WAVEFORMATEX format = streamFormat();
    DSBUFFERDESC desc = {};
    desc.dwSize = sizeof(DSBUFFERDESC);
    // Cursor that tracks what is really heard, and playing on while the host's window is in
    // the background.
    desc.dwFlags = DSBCAPS_GETCURRENTPOSITION2 | DSBCAPS_GLOBALFOCUS;
    desc.dwBufferBytes = static_cast<DWORD>(spuSettings().getSoundBufferSize()) << 10;
    desc.lpwfxFormat = &format;
    if (FAILED(directSound->CreateSoundBuffer(&desc, &streamBuffer, nullptr))) {
        streamBuffer = nullptr;
        return false;
    }

    DSBCAPS caps = {};
    caps.dwSize = sizeof(DSBCAPS);
    // If GetCaps fails, the size asked for is the best guess; a zero would make every pass
    // divide by zero.
    caps.dwBufferBytes = desc.dwBufferBytes;
    streamBuffer->GetCaps(&caps);
    bufferBytes = caps.dwBufferBytes;
    writePosition = 0;
    stats = StreamStats();
    lastPlayCursor = 0;
    streamBuffer->Play(0, 0, DSBPLAY_LOOPING);
    return true;
}

void SoundDevice::closeStream() {
    if (streamBuffer != nullptr) streamBuffer->Stop();
    releaseInto(streamBuffer);
    clockRunning = false;
}

void SoundDevice::silence() {
    // Stop only sets the buffer's play state, which DirectSound guards itself: safe beside a
    // pass that still locks and writes the buffer.
    if (streamBuffer != nullptr) streamBuffer->Stop();
}

void SoundDevice::close() {
    releaseInto(primaryBuffer);
    releaseInto(directSound);
}
