#pragma once
// What the streaming passes did since SPUopen, kept by the streaming thread under the global
// lock. A diagnostic of the plug-in's own timing, apart from what the audio path after it does:
// the chip must make exactly one frame per 4 bytes the device plays, and a pass that comes a
// buffer length or more after the one before has let the device replay old contents.
#include <cstdint>

struct StreamStats {
    uint64_t passes = 0;       // passes that read the play cursor and locked the buffer
    uint64_t bytesPlayed = 0;  // play cursor progress the passes saw, in bytes
    uint64_t framesMade = 0;   // frames the chip produced into the buffer
    uint32_t latePasses = 0;   // passes a buffer length or more after the previous pass
    uint32_t longestGapMs = 0; // longest time between two passes
};
