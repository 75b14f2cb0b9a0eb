// The reverb unit: impulses through the console presets, the work area in sound RAM, and the
// datapath rules. Tick 0 runs the left side, so left ticks are even and right ticks odd.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "reverb_unit.h"

namespace {

using reverb::IrqProbe;
using reverb::ReverbUnit;

struct Preset {
    std::string name;
    uint32_t areaBytes = 0;
    uint16_t regs[32] = {};
    int32_t firstSteps[2] = {};  // left, right
};

std::vector<Preset> loadPresets() {
    std::ifstream in(REVERB_TEST_DATA "/reverb_presets.txt");
    std::vector<Preset> presets;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream row(line);
        Preset p;
        std::string word;
        row >> p.name >> word;
        p.areaBytes = static_cast<uint32_t>(std::stoul(word, nullptr, 16));
        for (uint16_t& r : p.regs) {
            row >> word;
            r = static_cast<uint16_t>(std::stoul(word, nullptr, 16));
        }
        row >> p.firstSteps[0] >> p.firstSteps[1];
        presets.push_back(p);
    }
    return presets;
}

struct Rig {
    std::vector<uint8_t> ram = std::vector<uint8_t>(0x80000, 0);
    ReverbUnit unit;
    IrqProbe irq;

    void apply(const uint16_t* regs, uint16_t mBase) {
        for (uint32_t i = 0; i < 32; ++i) unit.writeRegister(0xDC0 + 2 * i, regs[i]);
        unit.writeRegister(0xDA2, mBase);
        unit.writeRegister(0xD84, 0x7FFF);
        unit.writeRegister(0xD86, 0x7FFF);
    }
    reverb::StereoSample tick(int32_t l, int32_t r, bool enabled = true) {
        return unit.tick(ram.data(), l, r, enabled, irq);
    }
    int16_t at(uint32_t a) const { return static_cast<int16_t>(ram[a] | ram[a + 1] << 8); }
};

// An impulse reaches the reverb through the decimation filter and leaves through the
// interpolation filter, 19 ticks each (the centre tap). Sent on the tick before the side's own
// tick, it meets only the centre tap: the side's reverb sees one sample, x * 16384 / 8000h, at
// tick t0 + 19. A reflection D steps later is at tick m = t0 + 19 + 2D; the output filter
// spreads it over m .. m + 38 and its centre, tick m + 19 = t0 + 38 + 2D, on the other side's
// tick, is the reverb sample itself - the largest of the spread. Nothing leaves before m.
TEST(ReverbUnit, ImpulseThroughEachPresetArrivesWhereTheOffsetsSayAndDecays) {
    const std::vector<Preset> presets = loadPresets();
    ASSERT_EQ(presets.size(), 9u);
    for (const Preset& p : presets) {
        for (int side = 0; side < 2; ++side) {
            SCOPED_TRACE(p.name + (side ? " right" : " left"));
            Rig rig;
            rig.apply(p.regs, static_cast<uint16_t>((0x80000 - p.areaBytes) / 8));
            const int32_t t0 = side ? 0 : 1;
            const int32_t m = t0 + 19 + 2 * p.firstSteps[side];
            const int32_t peakTick = m + 19;
            // Long enough for the slowest tail, Chaos echo: its only feedback is vWALL = -7F00h
            // (0.992) around 4 * (1FFF - 1005) steps, 0.74 s; 0.992^87 < 1/2 takes 64 s.
            const int32_t ticks = peakTick + (p.name == "ChaosEcho" ? 2900000 : 132300);
            std::vector<int32_t> out(ticks);
            for (int32_t t = 0; t < ticks; ++t) {
                const int32_t x = t == t0 ? 0x4000 : 0;
                const reverb::StereoSample s = rig.tick(side ? 0 : x, side ? x : 0);
                out[t] = side ? s.right : s.left;
            }
            int32_t before = 0, risingPeak = 0, overall = 0, lastSecond = 0;
            for (int32_t t = 0; t < ticks; ++t) {
                const int32_t a = std::abs(out[t]);
                if (t < m) before = std::max(before, a);
                if (t >= m && t < peakTick) risingPeak = std::max(risingPeak, a);
                overall = std::max(overall, a);
                if (t >= ticks - 44100) lastSecond = std::max(lastSecond, a);
            }
            EXPECT_EQ(before, 0);
            EXPECT_GT(std::abs(out[peakTick]), risingPeak);
            EXPECT_LT(lastSecond, overall / 2);
        }
    }
}

}  // namespace
