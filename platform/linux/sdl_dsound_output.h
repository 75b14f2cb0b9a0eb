#pragma once
// The SDL audio device that plays the streaming buffers, kept open from the first buffer until
// the library is unloaded. Closing an SDL device drains it, which with PulseAudio takes 0.5 to
// 2 s, and opening one takes a round trip to the server; hosts close and reopen the sound
// plug-in at every pause, so each pause would freeze the emulator that long. A released buffer
// therefore only detaches from the device, which plays silence, paused, until the next buffer
// of the same format attaches.
#include <SDL.h>

#include <cstdint>

namespace linux_platform::detail {

class StreamBuffer;

namespace sdl_output {

// Attaches `buffer` to the kept device, paused, opening a device for `wanted` first when none is
// kept, the kept one plays another format, or SDL has closed it (a host that quit SDL's audio
// itself). `wanted` names no callback: the device calls StreamBuffer::fillFromDevice of the
// attached buffer. False when SDL gives no device; then nothing is attached. `chunkBytes` gets
// what one callback takes.
bool attach(StreamBuffer* buffer, const SDL_AudioSpec& wanted, uint32_t* chunkBytes);
// Lets the device run, if `buffer` is the one attached.
void resume(const StreamBuffer* buffer);
// Detaches `buffer`, if attached: from the return on no callback reads it, and the device
// plays silence, paused. The device stays open.
void detach(const StreamBuffer* buffer);

}  // namespace sdl_output

}  // namespace linux_platform::detail
