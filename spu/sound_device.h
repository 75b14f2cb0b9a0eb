#pragma once
// The DirectSound output: the device object, the primary buffer (set to the settings' wave
// format) and one looping streaming buffer of 44100 Hz 16-bit stereo that the streaming thread
// refills behind the play cursor.
#include <cstdint>

#include "platform/win32.h"
#include "stream_stats.h"

class SoundDevice {
public:
    SoundDevice() = default;
    // Releases nothing: SPUclose has done that through closeStream() and close().
    virtual ~SoundDevice() = default;
    SoundDevice(const SoundDevice&) = delete;
    SoundDevice& operator=(const SoundDevice&) = delete;

    // Creates the device for the host's window and the primary buffer. On a failing call it
    // releases what the earlier steps made and returns false.
    bool open(HWND window);
    // Creates the streaming buffer and starts it looping; on failure nothing is left made.
    bool openStream();
    // Stops and releases the streaming buffer, if there is one.
    void closeStream();
    // Releases the primary buffer and the device, if there are any.
    void close();

    // One streaming pass: fills what the play cursor has passed since the last pass with frames
    // from the core, under the global lock. Runs only on the streaming thread.
    void pump();

    // The passes since the streaming buffer was made; read under the global lock.
    StreamStats streamStats() const { return stats; }

private:
    // Counts one pass that found the play cursor at `playCursor` and made `frames` frames;
    // called with the global lock held.
    void countPass(uint32_t playCursor, uint32_t frames);

    IDirectSound* directSound = nullptr;
    IDirectSoundBuffer* primaryBuffer = nullptr;
    IDirectSoundBuffer* streamBuffer = nullptr;
    uint32_t bufferBytes = 0;    // size of the streaming buffer as GetCaps reports it
    uint32_t writePosition = 0;  // where the next pass starts writing; below bufferBytes
    StreamStats stats;
    DWORD lastPassMs = 0;        // timeGetTime() of the last counted pass
    uint32_t lastPlayCursor = 0; // where that pass found the play cursor
};
