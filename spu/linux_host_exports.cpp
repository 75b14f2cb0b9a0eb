// The host's clock and CD-DA: the two entry points Linux hosts resolve (and spuTarnExact's hosts
// on Windows).
#include "exports.h"
#include "chip.h"
#include "host_call.h"
#include "host_clock.h"

namespace {
constexpr int32_t kBytesPerCdFrame = 4;  // 16-bit left, 16-bit right
}  // namespace

// The host's emulated clock: the CPU cycles since its last call. spuTarn advances with the audio
// device (the streaming thread makes exactly the frames the device played) and needs none of it;
// spuTarnExact runs its chip by them on this thread (host_clock.h), and an interrupt they raise
// reaches the host inside this call.
SPU_EXPORT void CALLBACK SPUasync(uint32_t cycles) {
    if (!identity::kFollowsHostClock) return;
    plugin::HostCall call;
    Chip* core = call.core();
    HostClock* clock = plugin::state().hostClock;
    if (core != nullptr && clock != nullptr) clock->advance(*core, cycles);
}

// CD-DA: the host reads audio tracks itself and hands over 44100 Hz 16-bit stereo PCM. It goes
// into the CD audio ring like a 44100 Hz stereo XA block, frame for frame, at the CD volumes of
// registers 0xDB0/0xDB2, and what does not fit in a full ring is dropped. A trailing part of a
// frame is dropped too; a null pointer or a size of 0 or less feeds nothing.
SPU_EXPORT void CALLBACK SPUplayCDDAchannel(int16_t* pcm, int32_t bytes) {
    if (pcm == nullptr || bytes <= 0) return;
    plugin::HostCall call;
    if (Chip* core = call.core()) core->feedCdDigitalAudio(pcm, bytes / kBytesPerCdFrame);
}
