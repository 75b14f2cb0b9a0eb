#pragma once
// The inside of ExactCore: the chip state (one flat struct, the save image) and the CD audio
// stream the host feeds. exact_tick.cpp runs the ticks, exact_registers.cpp is the register map,
// exact_core.cpp the public calls and the save image.
#include "block_lookahead.h"
#include "cd_input.h"
#include "chip_state.h"
#include "exact_core.h"

// Ticks rendered in one go (voice after voice through the chunk); one host SPUasync is 64.
constexpr int32_t kChunkTicks = 64;

struct ExactCore::Impl {
    explicit Impl(int32_t xaBufferSizeKiB);

    ChipState state;
    CdInput cd;
    BlockLookahead lookahead;  // derived from the state, never saved

    // `ticks` ticks (at most kChunkTicks) of the whole chip; out[2t], out[2t + 1] the frame
    // of tick t after the main volume.
    void renderChunk(int16_t* out, int32_t ticks);

    void writeRegister(uint32_t offset, uint16_t value);
    uint16_t readRegister(uint32_t offset);  // not const: the data port transfers
    void writeControl(uint16_t value);
    void writeKeyBits(uint32_t bits, bool on);
    // Every voice's current fetch addresses against the IRQ address, outside the tick.
    void compareVoiceFetches();
    // After a load: everything derived from registers is worked out again and every index is
    // brought inside its range, so that a damaged image cannot reach outside the chip.
    void sanitizeAfterLoad();
};
