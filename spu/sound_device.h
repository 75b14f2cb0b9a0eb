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
    // Stops the streaming buffer's output at once and keeps the buffer, for a streaming thread
    // that may still write into it: the device then plays silence instead of looping it.
    void silence();
    // Without an audio device: the chip advances on the system clock from now on, 44100 frames
    // a second, and what it makes is dropped. Ended by closeStream().
    void startClock();

    // One streaming pass: fills what the play cursor has passed since the last pass with frames
    // from the core, under the global lock; or, on the clock, makes the frames due since the
    // last pass. Runs only on the streaming thread.
    void pump();

    // The passes since the streaming buffer was made; read under the global lock.
    StreamStats streamStats() const { return stats; }

private:
    // Counts one pass that found the play cursor at `playCursor` and made `frames` frames;
    // called with the global lock held.
    void countPass(uint32_t playCursor, uint32_t frames);
    // The pass on the system clock (sound_device_clock.cpp).
    void pumpClock();

    IDirectSound* directSound = nullptr;
    IDirectSoundBuffer* primaryBuffer = nullptr;
    IDirectSoundBuffer* streamBuffer = nullptr;
    uint32_t bufferBytes = 0;    // size of the streaming buffer as GetCaps reports it
    uint32_t writePosition = 0;  // where the next pass starts writing; below bufferBytes
    StreamStats stats;
    DWORD lastPassMs = 0;        // timeGetTime() of the last counted pass
    uint32_t lastPlayCursor = 0; // where that pass found the play cursor

    // The system clock, while there is no device (startClock). Written by SPUopen before the
    // thread starts and by closeStream after it ended; read and advanced by that thread only.
    static constexpr int32_t kClockScratchFrames = 256;
    bool clockRunning = false;
    DWORD clockLastMs = 0;         // timeGetTime() of the last clock pass
    uint32_t clockRemainder = 0;   // thousandths of a frame carried to the next pass
    uint32_t clockMaxFrames = 0;   // a streaming buffer's length: the most one pass catches up
    uint8_t clockScratch[kClockScratchFrames * 4] = {};  // frames made and dropped
};
