// The exact chip's envelope engine driving volume sweeps: step sizes, the phase bit, the
// saturation ranges, exponential modes, the counter and the rates that never step.
#include <gtest/gtest.h>

#include "exact_voice.h"

namespace {

TEST(ExactSweep, LevelAfterTicks) {
    struct Case {
        const char* what;
        uint16_t reg;
        int32_t start;
        int ticks;
        int32_t level;
    };
    // Shift 0 step 0: a step of (7 - 0) << 11 = 3800h every tick (0x8000 >> 0 = 8000h a tick).
    const Case cases[] = {
        {"linear up, saturates at 7FFFh", 0x8000, 0, 3, 0x7FFF},  // 3800, 7000, 7FFF
        {"negative volume rises through 0", 0x8000, -0x8000, 4, 0x6000},  // -4800 -1000 2800 6000
        // Phase bit while increasing: ~7 = -8, << 11 = -4000h; down through 0 to -8000h.
        {"phase negative goes through 0", 0x9000, 0x4000, 2, -0x4000},
        {"phase negative stops at -8000h", 0x9000, 0x4000, 5, -0x8000},
        // Decreasing with the phase bit: +3800h a tick, limits -8000h..0: a positive volume
        // snaps to 0, a negative one climbs to 0.
        {"decreasing, phase negative, snaps", 0xB000, 0x4000, 1, 0},
        {"decreasing, phase negative, from below", 0xB000, -0x8000, 2, -0x1000},
        // Decreasing without it: -4000h a tick, never below 0.
        {"decreasing never below 0", 0xA000, 0x7FFF, 2, 0},  // 3FFF, then -1 -> 0
        // Exponential decrease: -4000h * level >> 15, floored: 7FFF -> 3FFF -> 1FFF.
        {"exponential decrease floors", 0xE000, 0x7FFF, 2, 0x1FFF},
        // Exponential increase above 6000h, shift < 10: step 3800h >> 2 = E00h.
        {"exponential increase above 6000h", 0xC000, 0x6001, 1, 0x6E01},
        {"exponential increase below it", 0xC000, 0x2000, 1, 0x5800},
        // Shift 13: step 7, counter 8000h >> 2 = 2000h a tick: a step every 4th tick.
        {"shift 13, 3 ticks: no step yet", 0x8034, 0x100, 3, 0x100},
        {"shift 13, 4 ticks: one step", 0x8034, 0x100, 4, 0x107},
        // Shift 28: 8000h >> 17 = 0, raised to 1: one step every 8000h ticks.
        {"shift 28 before 8000h ticks", 0x8070, 0x100, 0x7FFF, 0x100},
        {"shift 28 at 8000h ticks", 0x8070, 0x100, 0x8000, 0x107},
        // Rate 7Fh (shift 31, step 3) never steps, even after 10000h ticks.
        {"rate 7Fh never steps", 0x807F, 0x1234, 0x10000, 0x1234},
        {"rate 7Fh with the phase bit", 0x907F, 0x1234, 0x10000, 0x1234},
    };
    for (const Case& c : cases) {
        VolumeChannel channel;
        channel.write(c.reg);
        channel.level = c.start;
        for (int i = 0; i < c.ticks; ++i) channel.tick();
        EXPECT_EQ(channel.level, c.level) << c.what;
    }
}

TEST(ExactSweep, FixedVolumeIsTwiceTheRegisterFromTheNextTick) {
    VolumeChannel channel;
    channel.write(0x4000);  // bits 14-0 hold half: 4000h << 1 = 8000h, read signed: -8000h
    EXPECT_EQ(channel.level, 0);
    channel.tick();
    EXPECT_EQ(channel.level, -0x8000);
    channel.write(0x3FFF);
    channel.tick();
    EXPECT_EQ(channel.level, 0x7FFE);
}

}  // namespace
