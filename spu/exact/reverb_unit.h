#pragma once
// The chip's reverb: registers, running buffer address, resampling histories and the
// left/right alternation. The chip's tick calls tick() once per tick (44100 Hz) with that
// tick's reverb input; the unit runs the left side on one tick and the right side on the next
// (22050 Hz each), reading and writing its work area in sound RAM.
//
// How the chip uses it, per tick, after the voices and before the main volume:
//   inL/inR = sum of the EON voices' sample x voice volume (plus CD audio when SPUCNT bit 2,
//             external audio when bit 3), as plain sums; the unit saturates them to 16 bits.
//   out = reverb.tick(soundRam, inL, inR, SPUCNT bit 7, probe);
//   mix L/R += out.left / out.right (already x vLOUT / vROUT), then the main volume.
// Register writes and reads at D84h, D86h, DA2h and DC0h..DFEh go to writeRegister /
// readRegister (ownsRegister tells which).
//
// The state is plain data: the chip saves it with memcpy and calls afterStateLoad() once the
// bytes are back, which rebuilds what is derived and pulls every position back into range, so
// a damaged save state cannot make the unit touch memory outside sound RAM.
#include <cstdint>
#include <type_traits>

#include "reverb_registers.h"
#include "reverb_resampler.h"

namespace reverb {

// Lets the chip see whether a reverb access hit the IRQ address: set `armed` (IRQ enabled and
// SPUCNT bit 15 set) and `address8` (1F801DA4h, 8-byte units) before the tick; `hit` turns true
// when an access that counts (open_readings::reverbAccessRaisesIrq) touched that 8-byte unit. The
// unit never clears `hit`.
struct IrqProbe {
    uint32_t address8 = 0;
    bool armed = false;
    bool hit = false;
};

struct StereoSample {
    int32_t left = 0;
    int32_t right = 0;
};

class ReverbUnit {
  public:
    static bool ownsRegister(uint32_t offset12) { return ReverbRegisters::owns(offset12); }
    // Writing mBASE (DA2h) also moves the running address to the area's start.
    void writeRegister(uint32_t offset12, uint16_t value);
    uint16_t readRegister(uint32_t offset12) const { return registers.read(offset12); }

    // One tick. soundRam is the chip's 512 KiB; writesEnabled is SPUCNT bit 7. Returns this
    // tick's output, 16-bit range, already multiplied by vLOUT / vROUT, before the main volume.
    StereoSample tick(uint8_t* soundRam, int32_t inLeft, int32_t inRight, bool writesEnabled,
                      IrqProbe& irq);

    void afterStateLoad();

    // For tests and tools: the running address (bytes) and which side the next tick runs.
    uint32_t runningAddress() const { return address; }
    bool nextTickIsRight() const { return nextSide != 0; }

  private:
    int32_t runSide(uint32_t side, uint8_t* ram, int32_t decimated, bool writesEnabled,
                    IrqProbe& irq) const;

    ReverbRegisters registers;
    HalfBandResampler sides[2];
    uint32_t address = 0;   // running buffer address in bytes, inside the work area
    uint32_t nextSide = 0;  // 0: the next tick runs the left side; the first tick is left
};

static_assert(std::is_trivially_copyable<ReverbUnit>::value, "the chip saves it with memcpy");

}  // namespace reverb
