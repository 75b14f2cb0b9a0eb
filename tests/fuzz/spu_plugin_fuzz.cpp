// The sound plug-in through its exports, as a host would drive it, over the simulated platform:
// settings of any type and size in the registry, every export in any order (before SPUinit and
// after SPUshutdown included), SPUfreeze with any mode and record, CD audio blocks with any
// header, DirectSound failures. The simulated device stays on its manual cursor, so nothing
// waits on a clock; the streaming thread makes frames only when the input moves the cursor.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "fuzz_input.h"
#include "spu_plugin.h"
#include "win32.h"

namespace {

const std::string kKey = "Software\\Vision Thing\\PSEmu Pro\\SPU\\spuTarn";
const char* const kValueNames[] = {"SoundBufferSize", "XABufferSize", "HighResolutionMode"};
const char* const kDsoundOperations[] = {"DirectSoundCreate", "SetCooperativeLevel",
                                         "CreateSoundBuffer.primary", "CreateSoundBuffer.stream",
                                         "Lock"};

constexpr int32_t kDmaWords = 8192;
uint16_t dmaWords[kDmaWords];
XaDecodeRecord cdBlock;
FreezeRecord freezeRecord;  // half a megabyte: static, reused

// A register address: mostly inside the SPU's window, sometimes anything at all.
uint32_t registerAddress(FuzzInput& in) {
    const uint32_t raw = in.take<uint32_t>();
    return (raw & 0x80000000u) != 0 ? raw : 0x1F801C00u + (raw & 0x3FFu);
}

int32_t dmaCount(FuzzInput& in) {
    const int32_t raw = in.take<int32_t>();
    return raw <= 0 ? raw : raw % (kDmaWords + 1);
}

// One registry value as a user could leave it: absent, or any type with 0 to 8 bytes.
void storeSetting(FuzzInput& in, const char* name) {
    const uint8_t shape = in.take<uint8_t>();
    if ((shape & 0x80) != 0) return;
    const DWORD type = (shape & 0x40) != 0 ? REG_BINARY : REG_DWORD;
    std::vector<uint8_t> bytes((shape & 0x0F) % 9);
    in.takeBytes(bytes.data(), bytes.size());
    sim::registrySetValue(kKey, name, type, bytes);
}

void fillCdBlock(FuzzInput& in, XaDecodeRecord& block) {
    block.frequency = in.take<int32_t>();
    block.bits = in.take<int32_t>();
    block.stereo = in.take<int32_t>();
    block.sampleCount = in.take<int32_t>();
    in.takeBytes(block.pcm, in.take<uint16_t>() % sizeof block.pcm);
}

void freeze(SpuPlugin& spu, FuzzInput& in) {
    const uint32_t rawMode = in.take<uint32_t>();
    const uint32_t mode = (rawMode & 0x100) != 0 ? rawMode : rawMode % 3;
    const uint8_t what = in.take<uint8_t>();
    if ((what & 1) != 0) {
        // A record as a host or an old save file might hold it: header, registers, some sound
        // RAM and the stored CD block all from the input.
        in.takeBytes(&freezeRecord, 16);
        in.takeBytes(freezeRecord.registers, sizeof freezeRecord.registers);
        const uint32_t at = in.take<uint32_t>() % sizeof freezeRecord.soundRam;
        const size_t room = sizeof freezeRecord.soundRam - at;
        const size_t count = in.take<uint16_t>() % 2048;
        in.takeBytes(freezeRecord.soundRam + at, count < room ? count : room);
        fillCdBlock(in, freezeRecord.cdAudio);
    }
    spu.SPUfreeze(mode, (what & 2) != 0 ? nullptr : &freezeRecord);
}

void nothingExports(SpuPlugin& spu, FuzzInput& in) {
    const uint32_t a = in.take<uint32_t>();
    const uint32_t b = in.take<uint32_t>();
    spu.SPUgetOne(a);
    spu.SPUputOne(a, b);
    spu.SPUplaySample(a);
    spu.SPUsetAddr(a, b);
    spu.SPUsetPitch(a, b);
    spu.SPUsetVolumeL(a, b);
    spu.SPUsetVolumeR(a, b);
    spu.SPUstartChannels1(a);
    spu.SPUstartChannels2(a);
    spu.SPUstopChannels1(a);
    spu.SPUstopChannels2(a);
    spu.SPUplaySector();
    spu.PSEgetLibType();
    spu.PSEgetLibName();
    spu.PSEgetLibVersion();
    spu.SPUtest();
}

void resetAll(SpuPlugin& spu) {
    spu.SPUclose();
    spu.SPUshutdown();
    resetSimulation();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    if (!SpuPlugin::get().missing.empty()) std::abort();
    resetSimulation();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    SpuPlugin& spu = SpuPlugin::get();
    FuzzInput in(data, size);
    for (const char* name : kValueNames) storeSetting(in, name);
    if ((in.take<uint8_t>() & 1) == 0) spu.SPUinit();  // sometimes the exports come first

    while (!in.empty()) {
        switch (in.take<uint8_t>() % 16) {
            case 0: {
                const uint32_t address = registerAddress(in);
                spu.SPUwriteRegister(address, in.take<uint16_t>());
                break;
            }
            case 1:
                spu.SPUreadRegister(registerAddress(in));
                break;
            case 2:
                spu.SPUwriteDMA(in.take<uint16_t>());
                break;
            case 3:
                spu.SPUreadDMA();
                break;
            case 4: {
                const int32_t count = dmaCount(in);
                if (count > 0) in.takeBytes(dmaWords, count < 512 ? count * 2u : 1024u);
                spu.SPUwriteDMAMem(dmaWords, count);
                break;
            }
            case 5:
                spu.SPUreadDMAMem(dmaWords, dmaCount(in));
                break;
            case 6:
                fillCdBlock(in, cdBlock);
                spu.SPUplayADPCMchannel((in.take<uint8_t>() & 1) != 0 ? nullptr : &cdBlock);
                break;
            case 7:
                freeze(spu, in);
                break;
            case 8:
                spu.SPUregisterCallback(in.take<uintptr_t>());
                spu.SPUregisterCDDAVolume(in.take<uintptr_t>());
                break;
            case 9:
                nothingExports(spu, in);
                break;
            case 10:
                spu.SPUopen();
                break;
            case 11:
                spu.SPUclose();
                break;
            case 12:
                if ((in.take<uint8_t>() & 1) != 0) {
                    spu.SPUshutdown();
                } else {
                    spu.SPUinit();
                }
                break;
            case 13:
                // New settings, read by SPUconfigure and used at the next open or init.
                sim::registryReset();
                for (const char* name : kValueNames) storeSetting(in, name);
                spu.SPUconfigure();
                spu.SPUabout();
                sim::clearMessageBoxes();
                break;
            case 14: {
                const uint8_t which = in.take<uint8_t>();
                const HRESULT hr = (which & 0x80) != 0 ? DSERR_BUFFERLOST : DSERR_INVALIDPARAM;
                sim::dsoundFailOperation(kDsoundOperations[which % 5], hr, (which & 0x40) != 0);
                sim::dsoundSetBufferLost((which & 0x20) != 0);
                break;
            }
            default:
                // The device plays on; the streaming thread fills what it passed on its own.
                sim::dsoundAdvancePlayCursor(in.take<uint16_t>());
                break;
        }
    }
    resetAll(spu);
    return 0;
}
