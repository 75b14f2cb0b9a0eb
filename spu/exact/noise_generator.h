#pragma once
// The one noise generator shared by every voice whose NON bit is set: a 16-bit LFSR clocked by
// a timer that SPUCNT's noise shift (bits 13-10) and step (bits 9-8) set. VxPitch plays no part.
#include <cstdint>

struct NoiseGenerator {
    int32_t timer = 0;
    uint16_t lfsr = 0;
    uint8_t shift = 0;  // SPUCNT bits 13-10
    uint8_t step = 0;   // SPUCNT bits 9-8

    // One tick: the LFSR clocks at min(44100, 44100 * (step + 4) / (20000h >> shift)) Hz.
    void tick() {
        timer -= step + 4;
        if (timer >= 0) return;
        const uint32_t l = lfsr;
        const uint32_t parity = ((l >> 15) ^ (l >> 12) ^ (l >> 11) ^ (l >> 10) ^ 1u) & 1u;
        lfsr = static_cast<uint16_t>((l << 1) | parity);
        timer += 0x20000 >> shift;
        if (timer < 0) timer += 0x20000 >> shift;
    }

    // The sample a noise voice plays in place of its decoded one.
    int16_t sample() const { return static_cast<int16_t>(lfsr); }

    // Takes the fields from a SPUCNT write.
    void setControl(uint16_t spucnt);
};
