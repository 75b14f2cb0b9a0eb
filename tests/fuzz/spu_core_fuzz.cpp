// The emulated chip with any host traffic: register writes and reads at any address, the data
// port and block transfers with any count, CD audio blocks with any header, raw overwrites of
// sound RAM and the register block as a save-state load does, frames and shadow refreshes.
// Deterministic: no threads, no clock.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "fuzz_input.h"
#include "spu_core.h"

namespace {

// Room for block transfers longer than sound RAM, so a block can wrap more than once.
constexpr int32_t kBlockWords = 300000;
uint16_t blockWords[kBlockWords];
XaDecodeRecord cdBlock;

// A count that reaches every case: negative, zero, and positive up to the block's room.
int32_t blockCount(FuzzInput& in) {
    const int32_t raw = in.take<int32_t>();
    if (raw <= 0) return raw;
    return raw % (kBlockWords + 1);
}

void checkInvariants(const SpuCore& core) {
    const uint32_t transfer = core.getTransferAddress();
    if (transfer != SpuCore::kNoTransferAddress &&
        ((transfer & 1) != 0 || transfer >= SpuCore::kSoundRamBytes)) {
        std::abort();
    }
    const CdAudioStream& cd = core.cdAudio();
    if (cd.getCapacity() > 0 && (cd.getWriteIndex() >= cd.getCapacity() ||
                                 cd.getReadIndex() >= cd.getCapacity())) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    // The CD ring size as "XABufferSize" would give it, the refused values included.
    const int32_t xaKiB = static_cast<int32_t>(in.take<int8_t>());
    auto core = std::make_unique<SpuCore>(xaKiB);

    while (!in.empty()) {
        switch (in.take<uint8_t>() % 10) {
            case 0: {
                const uint32_t address = in.take<uint32_t>();
                core->writeRegister(address, in.take<uint16_t>());
                break;
            }
            case 1:
                core->readRegister(in.take<uint32_t>());
                break;
            case 2:
                core->writeDataPort(in.take<uint16_t>());
                break;
            case 3:
                core->readDataPort();
                break;
            case 4: {
                const int32_t count = blockCount(in);
                // The first words come from the input, the rest is what earlier blocks left.
                if (count > 0) in.takeBytes(blockWords, count < 512 ? count * 2u : 1024u);
                core->writeBlock(blockWords, count);
                break;
            }
            case 5:
                core->readBlock(blockWords, blockCount(in));
                break;
            case 6:
                // Any header; the samples are whatever the input holds, the rest left over.
                cdBlock.frequency = in.take<int32_t>();
                cdBlock.bits = in.take<int32_t>();
                cdBlock.stereo = in.take<int32_t>();
                cdBlock.sampleCount = in.take<int32_t>();
                in.takeBytes(cdBlock.pcm, in.take<uint16_t>() % sizeof cdBlock.pcm);
                core->feedCdAudio(&cdBlock);
                break;
            case 7: {
                // A save-state load: raw bytes anywhere in sound RAM.
                const uint32_t at = in.take<uint32_t>() % SpuCore::kSoundRamBytes;
                const size_t room = SpuCore::kSoundRamBytes - at;
                const size_t count = in.take<uint16_t>();
                in.takeBytes(core->soundRamBytes() + at, count < room ? count : room);
                break;
            }
            case 8: {
                // And into the register block, which the voices never see until rewritten.
                const uint32_t at = in.take<uint16_t>() % (SpuCore::kRegisterCount * 2);
                const size_t room = SpuCore::kRegisterCount * 2 - at;
                const size_t count = in.take<uint8_t>();
                in.takeBytes(core->registerBytes() + at, count < room ? count : room);
                break;
            }
            default: {
                // Frames, then the status copy a streaming pass makes after them.
                const int frames = in.take<uint16_t>() % 4096;
                for (int i = 0; i < frames; ++i) {
                    int16_t left = 0;
                    int16_t right = 0;
                    core->produceFrame(left, right);
                }
                core->refreshShadow();
                break;
            }
        }
        checkInvariants(*core);
    }
    return 0;
}
