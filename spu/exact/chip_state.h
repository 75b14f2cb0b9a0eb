#pragma once
// Everything the chip remembers, as one plain struct: the save image is this struct byte for
// byte, so a loaded image continues exactly where the saved one stopped. Only the CD audio
// ring lives outside it (it belongs to the host's stream, not to the chip).
#include <cstdint>
#include <type_traits>

#include "capture_writer.h"
#include "exact_voice.h"
#include "irq_comparator.h"
#include "noise_generator.h"
#include "reverb_hook.h"
#include "sound_transfer.h"

struct ChipState {
    static constexpr int kVoices = 24;
    static constexpr uint32_t kRamBytes = 512 * 1024;
    static constexpr int kRegisters = 256;  // 16-bit registers C00h..DFFh as last written

    uint16_t registers[kRegisters] = {};
    uint16_t control = 0;          // SPUCNT
    uint16_t transferControl = 0;  // 1F801DACh
    uint32_t endx = 0;             // one bit a voice: an end flag was reached since key-on
    uint32_t pitchModulation = 0;  // PMON (bit 0 has no effect)
    uint32_t noiseVoices = 0;      // NON
    uint32_t reverbVoices = 0;     // EON
    int32_t cdVolumeLeft = 0;      // 1F801DB0h, signed
    int32_t cdVolumeRight = 0;     // 1F801DB2h
    VolumeChannel mainLeft;
    VolumeChannel mainRight;
    NoiseGenerator noise;
    IrqComparator irq;
    SoundTransfer transfer;
    CaptureWriter capture;
    ReverbState reverb;
    VoiceState voices[kVoices];
    uint8_t soundRam[kRamBytes] = {};

    uint16_t& reg(uint32_t offset) { return registers[(offset - 0xC00) >> 1]; }
    uint16_t reg(uint32_t offset) const { return registers[(offset - 0xC00) >> 1]; }
};
static_assert(std::is_trivially_copyable<ChipState>::value, "the save image is a plain copy");
