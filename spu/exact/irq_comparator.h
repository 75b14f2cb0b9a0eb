#pragma once
// The SPU interrupt: the IRQ address (1F801DA4h, 8-byte units) compared with every sound RAM
// access - voice fetches, transfers in both directions, capture writes. A match raises SPUSTAT
// bit 6 while SPUCNT bits 15 and 6 are both set; writing 0 to SPUCNT bit 6 acknowledges it.
#include <cstdint>

struct IrqComparator {
    uint16_t address = 0;  // 8-byte units
    uint8_t enabled = 0;   // SPUCNT bits 15 and 6 both set
    uint8_t flag = 0;      // SPUSTAT bit 6
    uint8_t risePending = 0;  // a rise the plug-in has not taken yet

    // True while a match would change something: the comparisons are skipped otherwise.
    bool armed() const { return enabled != 0 && flag == 0; }

    // An access to the 8-byte unit that holds byte `byteAddress`.
    void access(uint32_t byteAddress) {
        if (armed() && ((byteAddress >> 3) & 0xFFFFu) == address) raise();
    }
    void raise() {
        flag = 1;
        risePending = 1;
    }
};
