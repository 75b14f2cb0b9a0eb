#pragma once
// Transfers between the CPU and sound RAM: the transfer address (1F801DA6h, 8-byte units),
// the data port (1F801DA8h) and the DMA entry points. Each 16-bit word moves at the current
// address, which then steps by 2 and wraps at the end of sound RAM; every word is compared
// with the IRQ address, in both directions.
#include <cstdint>

#include "irq_comparator.h"

struct SoundTransfer {
    static constexpr uint32_t kRamMask = 0x7FFFF;
    uint16_t addressRegister = 0;  // as written, read back
    uint16_t padding = 0;
    uint32_t byteAddress = 0;

    void setAddress(uint16_t units) {
        addressRegister = units;
        byteAddress = (static_cast<uint32_t>(units) * 8u) & kRamMask;
    }
    void write(uint8_t* ram, IrqComparator& irq, uint16_t value) {
        irq.access(byteAddress);
        ram[byteAddress] = static_cast<uint8_t>(value & 0xFF);
        ram[byteAddress + 1] = static_cast<uint8_t>(value >> 8);
        byteAddress = (byteAddress + 2) & kRamMask;
    }
    uint16_t read(const uint8_t* ram, IrqComparator& irq) {
        irq.access(byteAddress);
        const uint16_t value = static_cast<uint16_t>(ram[byteAddress] | ram[byteAddress + 1] << 8);
        byteAddress = (byteAddress + 2) & kRamMask;
        return value;
    }
};
