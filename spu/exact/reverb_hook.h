#pragma once
// Where the reverb unit joins the ticks. For each chunk of ticks the chip hands it the reverb
// input of every tick (the EON voices after their volumes, plus CD audio when SPUCNT bit 2 is
// set) and takes back the reverb output of every tick, which it scales by vLOUT/vROUT and adds
// into the mix before the main volume.
// Until the reverb unit exists the hook returns silence; its state will live in ReverbState,
// which is part of the chip's save image, so it must stay plain data.
#include <cstdint>

#include "irq_comparator.h"

struct ReverbState {
    uint32_t reserved = 0;
};

// `ticks` ticks of reverb, in order: inLeft[t]/inRight[t] is the reverb input of tick t (the
// EON voices after their volumes, plus CD audio with SPUCNT bit 2, saturated to 16 bits);
// outLeft[t]/outRight[t] receives the reverb output of tick t before vLOUT/vROUT.
// `registers` is the register file from 1F801C00h (index (address - C00h) / 2): mBASE at DA2h,
// the 32 reverb registers at DC0h-DFEh, SPUCNT at DAAh. Work-area accesses go through `irq`
// like every other sound RAM access.
void reverbRender(ReverbState& state, uint8_t* soundRam, const uint16_t* registers,
                  IrqComparator& irq, const int32_t* inLeft, const int32_t* inRight,
                  int32_t* outLeft, int32_t* outRight, int32_t ticks);
