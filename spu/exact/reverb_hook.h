#pragma once
// Where the reverb unit joins the tick. Each tick the chip hands it the reverb input (the EON
// voices after their volumes, plus CD audio when SPUCNT bit 2 is set) and takes back the
// reverb output, which it scales by vLOUT/vROUT and adds into the mix before the main volume.
// Until the reverb unit exists the hook returns silence; its state will live in ReverbState,
// which is part of the chip's save image, so it must stay plain data.
#include <cstdint>

#include "irq_comparator.h"

struct ReverbState {
    uint32_t reserved = 0;
};

struct ReverbIo {
    int32_t inLeft;
    int32_t inRight;
    int32_t outLeft;   // before vLOUT
    int32_t outRight;  // before vROUT
};

// `registers` is the register file from 1F801C00h (index (address - C00h) / 2): mBASE at
// DA2h, the 32 reverb registers at DC0h-DFEh, SPUCNT at DAAh. Its work-area accesses go
// through `irq` like every other sound RAM access.
void reverbTick(ReverbState& state, uint8_t* soundRam, const uint16_t* registers,
                IrqComparator& irq, ReverbIo& io);
