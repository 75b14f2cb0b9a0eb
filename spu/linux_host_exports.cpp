// The two entry points that only Linux hosts resolve.
#include "exports.h"
#include "chip.h"

namespace {
constexpr int32_t kBytesPerCdFrame = 4;  // 16-bit left, 16-bit right
}  // namespace

// The host's emulated clock, in bursts of ticks. The chip here advances with the audio device
// (the streaming thread makes exactly the frames the device played), so the ticks are not needed.
SPU_EXPORT void CALLBACK SPUasync(uint32_t /*cycles*/) {}

// CD-DA: the host reads audio tracks itself and hands over 44100 Hz 16-bit stereo PCM. It goes
// into the CD audio ring like a 44100 Hz stereo XA block, frame for frame, at the CD volumes of
// registers 0xDB0/0xDB2, and what does not fit in a full ring is dropped. A trailing part of a
// frame is dropped too; a null pointer or a size of 0 or less feeds nothing.
SPU_EXPORT void CALLBACK SPUplayCDDAchannel(int16_t* pcm, int32_t bytes) {
    if (pcm == nullptr || bytes <= 0) return;
    plugin::CoreLock lock;
    if (Chip* core = lock.core()) core->feedCdDigitalAudio(pcm, bytes / kBytesPerCdFrame);
}
