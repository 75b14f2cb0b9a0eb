#pragma once
// The hardware-faithful sound chip behind spuTarnExact. Every per-sample action happens once a
// tick (768 CPU cycles, one 44100 Hz output frame), in the order the chip does it. It has no
// lock of its own: every call runs with the plug-in's global critical section held.
//
// The public calls mirror SpuCore's, so the plug-in boundary compiles against either chip; the
// extra ones are the interrupt edge, tick stepping without output and the save-state image.
#include <cstddef>
#include <cstdint>

#include "cd_audio_stream.h"  // XaDecodeRecord

class ExactCore {
  public:
    static constexpr uint32_t kSoundRamBytes = 512 * 1024;
    static constexpr int kVoiceCount = 24;
    static constexpr uint32_t kCyclesPerTick = 768;  // CPU cycles at 33.8688 MHz

    // The CD audio ring holds xaBufferSizeKiB KiB, as in spuTarn.
    explicit ExactCore(int32_t xaBufferSizeKiB);
    virtual ~ExactCore();
    ExactCore(const ExactCore&) = delete;
    ExactCore& operator=(const ExactCore&) = delete;

    // Registers by the low 12 bits of their address (0xC00..0xFFF; 0xE00.. are the current
    // volumes). Writes and reads outside the map do nothing / read 0.
    void writeRegister(uint32_t address, uint32_t value);
    uint16_t readRegister(uint32_t address);
    // The data port (manual transfer) and DMA: each word compared with the IRQ address.
    void writeDataPort(uint16_t value);
    uint16_t readDataPort();
    void writeBlock(const uint16_t* source, int32_t count);
    void readBlock(uint16_t* destination, int32_t count);
    // CD audio the host decodes (XA blocks at their own rate) or reads (44100 Hz stereo CD-DA).
    void feedCdAudio(const XaDecodeRecord* record);
    void feedCdDigitalAudio(const int16_t* frames, int32_t frameCount);

    // Runs frameCount ticks and writes their output frames to `out`, 4 bytes a frame, left then
    // right, 16-bit little-endian; `out` need not be aligned. A null `out` or a count of 0 or
    // less does nothing.
    void produceFrames(uint8_t* out, int32_t frameCount);
    // Runs `ticks` ticks and discards their output (tests, the recordings renderer).
    void runTicks(int32_t ticks);
    // Kept for the shared plug-in boundary; the register file is live, so nothing to do.
    void refreshShadow() {}

    // True once for every rise of SPUSTAT bit 6 since the last call: the plug-in calls the
    // host's interrupt callback when it sees true.
    bool takeInterruptRise();

    // The whole chip state (registers, voices, envelopes, counters, sound RAM, capture and
    // reverb state; not the CD ring) as a flat image of kStateBytes bytes, and back.
    static const size_t kStateBytes;
    void saveState(uint8_t* image) const;
    void loadState(const uint8_t* image);

    uint8_t* soundRamBytes();

  private:
    struct Impl;
    Impl* impl;
};
