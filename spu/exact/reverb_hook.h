#pragma once
// Where the reverb unit joins the ticks. For each chunk of ticks the chip hands it the reverb
// input of every tick (the EON voices after their volumes, plus CD audio when SPUCNT bit 2 is
// set) and takes back the reverb output of every tick, already scaled by vLOUT/vROUT, which it
// adds into the mix before the main volume.
//
// The unit owns the reverb registers (vLOUT/vROUT at D84h/D86h, mBASE at DA2h, the block at
// DC0h-DFEh): the chip's register map hands their writes and reads to it and keeps no copy, so
// a loaded save image cannot hold two versions of them.
#include <cstdint>
#include <type_traits>

#include "irq_comparator.h"
#include "reverb_unit.h"

// Part of the chip's save image, so plain data; afterStateLoad() once the bytes are back.
struct ReverbState {
    reverb::ReverbUnit unit;
};
static_assert(std::is_trivially_copyable<ReverbState>::value, "the chip saves it with memcpy");

// `ticks` ticks of reverb, in order: inLeft[t]/inRight[t] is the reverb input of tick t (the
// EON voices after their volumes, plus CD audio with SPUCNT bit 2, saturated to 16 bits);
// outLeft[t]/outRight[t] receives the reverb output of tick t after vLOUT/vROUT. `control` is
// SPUCNT (bit 7: writes enabled); `running` false keeps the unit still (no tick, silence).
// Work-area accesses are compared with the IRQ address through `irq`, like every other sound
// RAM access.
void reverbRender(ReverbState& state, uint8_t* soundRam, uint16_t control, bool running,
                  IrqComparator& irq, const int32_t* inLeft, const int32_t* inRight,
                  int32_t* outLeft, int32_t* outRight, int32_t ticks);
