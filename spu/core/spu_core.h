#pragma once
#include <cstdint>

#include "cd_audio_stream.h"
#include "mix_accumulator.h"
#include "voice.h"

// The emulated sound processing unit: sound RAM, the register shadow, the few core registers,
// the transfer address, the mixer, the 24 voices and the CD audio stream. It has no lock of its
// own: every operation runs with the plug-in's global critical section held.
//
// spu_core.cpp holds construction, sound RAM transfers and frame production;
// spu_core_registers.cpp the register map and the status copy into the shadow.
class SpuCore {
  public:
    static constexpr uint32_t kSoundRamBytes = 512 * 1024;
    static constexpr int kRegisterCount = 256;  // 16-bit registers 0xC00..0xDFF
    static constexpr int kVoiceCount = 24;
    static constexpr uint32_t kNoTransferAddress = 0xFFFFFFFFu;

    explicit SpuCore(int32_t xaBufferSizeKiB);
    virtual ~SpuCore() = default;
    SpuCore(const SpuCore&) = delete;
    SpuCore& operator=(const SpuCore&) = delete;

    void writeRegister(uint32_t address, uint32_t value);
    uint16_t readRegister(uint32_t address);
    void writeDataPort(uint16_t value);
    uint16_t readDataPort();
    void writeBlock(const uint16_t* source, int32_t count);
    void readBlock(uint16_t* destination, int32_t count);
    void feedCdAudio(const XaDecodeRecord* record);
    // CD-DA from hosts that play audio tracks themselves: 44100 Hz 16-bit stereo frames.
    void feedCdDigitalAudio(const int16_t* frames, int32_t frameCount);
    void produceFrame(int16_t& outLeft, int16_t& outRight);
    // frameCount frames in a row, exactly as that many produceFrame calls would make them,
    // written to `out` 4 bytes a frame: left then right, 16-bit little-endian. `out` need not
    // be aligned (a DirectSound region after an odd cursor step is not). A null `out` or a
    // count of 0 or less produces nothing.
    void produceFrames(uint8_t* out, int32_t frameCount);
    void refreshShadow();

    uint8_t* soundRamBytes() { return soundRam; }
    uint8_t* registerBytes() { return reinterpret_cast<uint8_t*>(registers); }

    // Read-only views for tests and tools.
    const Voice& voice(int index) const { return voices[index]; }
    const CdAudioStream& cdAudio() const { return cdStream; }
    uint32_t getTransferAddress() const { return transferAddress; }
    uint16_t shadow(uint32_t offset) const {
        return (offset >= 0xC00 && offset <= 0xDFF) ? registers[(offset - 0xC00) >> 1] : 0;
    }

  private:
    // Byte address of the word the next transfer moves, and the step past it.
    uint32_t transferByte() const;
    void advanceTransfer();

    void writeVoiceRegister(uint32_t offset, uint32_t value);
    void writeBitRegister(uint32_t offset, uint32_t value);

    uint8_t soundRam[kSoundRamBytes] = {};
    uint16_t registers[kRegisterCount] = {};
    uint16_t control = 0;
    uint16_t status = 0;  // only bits 11..15 are kept
    uint16_t irqAddress = 0;
    uint32_t transferAddress = kNoTransferAddress;  // bytes; even and below 0x80000 once set
    // Frames are mixed in chunks: every voice renders the whole chunk into these 32-bit sums,
    // then the CD stream, then the clamp. The sums are exact, so the order of contributions
    // does not change a frame; chunking bounds the scratch without any allocation.
    static constexpr int32_t kChunkFrames = 128;
    static constexpr int32_t kPlanFromFrames = 16;  // shorter chunks decode on the spot
    void renderChunk(int32_t frames);
    int32_t chunkLeft[kChunkFrames + Voice::kSpanPadding] = {};
    int32_t chunkRight[kChunkFrames + Voice::kSpanPadding] = {};
    Voice voices[kVoiceCount];
    CdAudioStream cdStream;
};
