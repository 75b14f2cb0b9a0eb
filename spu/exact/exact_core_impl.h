#pragma once
// The inside of ExactCore: the chip state (one flat struct, the save image) and the CD audio
// stream the host feeds. exact_tick.cpp runs a tick, exact_registers.cpp is the register map,
// exact_core.cpp the public calls and the save image.
#include "chip_state.h"
#include "exact_core.h"

struct ExactCore::Impl {
    explicit Impl(int32_t xaBufferSizeKiB);

    ChipState state;
    CdAudioStream cd;

    // One tick of the whole chip; the output frame after the main volume.
    void tick(int16_t& left, int16_t& right);

    void writeRegister(uint32_t offset, uint16_t value);
    uint16_t readRegister(uint32_t offset) const;
    void writeControl(uint16_t value);
    void writeKeyBits(uint32_t bits, bool on);
    // Every voice's current fetch addresses against the IRQ address, outside the tick.
    void compareVoiceFetches();
    // After a load: everything derived from registers is worked out again and every index is
    // brought inside its range, so that a damaged image cannot reach outside the chip.
    void sanitizeAfterLoad();
};
