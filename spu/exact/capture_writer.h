#pragma once
// The four capture rings at the bottom of sound RAM, one 16-bit slot each per tick:
// 000-3FF CD left and 400-7FF CD right (before the CD volume), 800-BFF voice 1 and C00-FFF
// voice 3 (after the envelope, before the voice volume). They run only while the transfer
// control register (1F801DACh) has bits 3-2 non-zero, as does SPUSTAT bit 11.
#include <cstdint>
#include <cstring>

#include "irq_comparator.h"

struct CaptureWriter {
    static constexpr uint32_t kSlots = 512;
    uint32_t slot = 0;  // the slot the next tick writes
    uint8_t running = 0;
    uint8_t padding[3] = {0, 0, 0};

    // SPUSTAT bit 11: 1 while the second half (slots 256-511) is written. A key-on written
    // right after it falls lands at slot 0 in the recordings.
    uint16_t halfBit() const {
        const uint32_t written = (slot + kSlots - 1) % kSlots;
        return running != 0 && written >= kSlots / 2 ? 0x0800 : 0;
    }

    void write(uint8_t* soundRam, IrqComparator& irq, int16_t cdLeft, int16_t cdRight,
               int16_t voice1, int16_t voice3) {
        if (running != 0) {
            const uint32_t at = slot * 2;
            put(soundRam + 0x000 + at, cdLeft);
            put(soundRam + 0x400 + at, cdRight);
            put(soundRam + 0x800 + at, voice1);
            put(soundRam + 0xC00 + at, voice3);
            if (irq.armed()) {
                for (uint32_t base = 0; base < 0x1000; base += 0x400) irq.access(base + at);
            }
        }
        slot = (slot + 1) % kSlots;
    }

  private:
    static void put(uint8_t* at, int16_t v) {
        const uint16_t u = static_cast<uint16_t>(v);
        at[0] = static_cast<uint8_t>(u & 0xFF);
        at[1] = static_cast<uint8_t>(u >> 8);
    }
};
