// The kept SDL audio device behind the streaming buffers.
#include "sdl_dsound_output.h"

#include <cstring>
#include <mutex>

#include "sdl_dsound_buffer.h"

namespace linux_platform::detail::sdl_output {

namespace {

struct KeptDevice {
    // Opening, closing and pausing the device. Never held by SDL's audio thread, so it may be
    // held while SDL_CloseAudioDevice waits for that thread.
    std::mutex control;
    // Which buffer the callback reads; held by the callback for its whole run, so a detach
    // returns only once no callback can still be reading the detached buffer.
    std::mutex attachment;
    StreamBuffer* attached = nullptr;

    SDL_AudioDeviceID device = 0;  // 0: none open
    SDL_AudioSpec asked{};         // what the open device was opened for
    uint32_t chunkBytes = 0;
    uint8_t silence = 0;

    // Under `control`. The device holds its own reference on SDL's audio subsystem, so the
    // subsystem (and with it the device) survives the DirectSound objects' releases.
    void closeDevice() {
        SDL_CloseAudioDevice(device);
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        device = 0;
    }

    // At library unload (or process exit) the callback's code goes away: the device must be
    // closed first. This is the one drain the user waits for.
    ~KeptDevice() {
        std::lock_guard<std::mutex> lock(control);
        if (device != 0) closeDevice();
    }
};

KeptDevice& kept() {
    static KeptDevice instance;
    return instance;
}

void SDLCALL fill(void*, Uint8* stream, int length) {
    KeptDevice& k = kept();
    const uint32_t bytes = length > 0 ? static_cast<uint32_t>(length) : 0;
    std::lock_guard<std::mutex> lock(k.attachment);
    if (k.attached != nullptr)
        k.attached->fillFromDevice(stream, bytes);
    else
        std::memset(stream, k.silence, bytes);
}

bool sameFormat(const SDL_AudioSpec& a, const SDL_AudioSpec& b) {
    return a.freq == b.freq && a.format == b.format && a.channels == b.channels &&
           a.samples == b.samples;
}

}  // namespace

bool attach(StreamBuffer* buffer, const SDL_AudioSpec& wanted, uint32_t* chunkBytes) {
    KeptDevice& k = kept();
    std::lock_guard<std::mutex> lock(k.control);
    // Another format (the user changed "SoundBufferSize"), or a device SDL no longer knows:
    // SDL_GetAudioDeviceStatus says STOPPED for an id that is not open.
    if (k.device != 0 && (!sameFormat(k.asked, wanted) ||
                          SDL_GetAudioDeviceStatus(k.device) == SDL_AUDIO_STOPPED)) {
        {
            std::lock_guard<std::mutex> attachment(k.attachment);
            k.attached = nullptr;
        }
        k.closeDevice();
    }
    if (k.device == 0) {
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
        SDL_AudioSpec asked = wanted;
        asked.callback = &fill;
        asked.userdata = nullptr;
        SDL_AudioSpec obtained;
        SDL_zero(obtained);
        // No changes allowed: SDL converts our format to the device's, so the buffer's bytes
        // are exactly what the chip made. Opened paused.
        k.device = SDL_OpenAudioDevice(nullptr, 0, &asked, &obtained, 0);
        if (k.device == 0) {
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
            return false;
        }
        k.asked = wanted;
        k.chunkBytes = obtained.size;
        k.silence = obtained.silence;
    }
    SDL_PauseAudioDevice(k.device, 1);
    {
        std::lock_guard<std::mutex> attachment(k.attachment);
        k.attached = buffer;
    }
    *chunkBytes = k.chunkBytes;
    return true;
}

void resume(const StreamBuffer* buffer) {
    KeptDevice& k = kept();
    std::lock_guard<std::mutex> lock(k.control);
    bool mine = false;
    {
        std::lock_guard<std::mutex> attachment(k.attachment);
        mine = k.attached == buffer;
    }
    if (mine && k.device != 0) SDL_PauseAudioDevice(k.device, 0);
}

void detach(const StreamBuffer* buffer) {
    KeptDevice& k = kept();
    std::lock_guard<std::mutex> lock(k.control);
    {
        std::lock_guard<std::mutex> attachment(k.attachment);
        if (k.attached != buffer) return;
        k.attached = nullptr;
    }
    if (k.device != 0) SDL_PauseAudioDevice(k.device, 1);
}

}  // namespace linux_platform::detail::sdl_output
