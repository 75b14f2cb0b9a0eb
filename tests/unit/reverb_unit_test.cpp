// The reverb unit: impulses through the console presets, the work area in sound RAM, and the
// datapath rules. Tick 0 runs the left side, so left ticks are even and right ticks odd.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "reverb_unit.h"

namespace {

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
        row >> p.name >> std::hex >> p.areaBytes;
        for (uint16_t& r : p.regs) row >> r;
        row >> std::dec >> p.firstSteps[0] >> p.firstSteps[1];
        presets.push_back(p);
    }
    return presets;
}

struct Rig {
    std::vector<uint8_t> ram = std::vector<uint8_t>(0x80000, 0);
    reverb::ReverbUnit unit;
    reverb::IrqProbe irq;

    void apply(const uint16_t* regs, uint16_t mBase) {
        for (uint32_t i = 0; i < 32; ++i) unit.writeRegister(0xDC0 + 2 * i, regs[i]);
        unit.writeRegister(0xDA2, mBase);
        for (uint32_t volume : {0xD84u, 0xD86u}) unit.writeRegister(volume, 0x7FFF);
    }
    reverb::StereoSample tick(int32_t l, int32_t r, bool enabled = true) {
        return unit.tick(ram.data(), l, r, enabled, irq);
    }
    int16_t at(uint32_t a) const { return static_cast<int16_t>(ram[a] | ram[a + 1] << 8); }
    void put(uint32_t a, int32_t v) {
        ram[a] = static_cast<uint8_t>(v);
        ram[a + 1] = static_cast<uint8_t>(v >> 8);
    }
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
            const int32_t ticks = peakTick + 88200;  // two seconds of tail
            int32_t before = 0, rising = 0, peak = 0, overall = 0, lastSecond = 0;
            for (int32_t t = 0; t < ticks; ++t) {
                const int32_t x = t == t0 ? 0x4000 : 0;
                const reverb::StereoSample s = rig.tick(side ? 0 : x, side ? x : 0);
                const int32_t a = std::abs(side ? s.right : s.left);
                if (t < m) before = std::max(before, a);
                if (t >= m && t < peakTick) rising = std::max(rising, a);
                if (t == peakTick) peak = a;
                overall = std::max(overall, a);
                if (t >= ticks - 44100) lastSecond = std::max(lastSecond, a);
            }
            EXPECT_EQ(before, 0);
            EXPECT_GT(peak, rising);
            // Chaos echo is nearly endless: its only feedback, vWALL = -7F00h (0.992) round
            // 4 * (1FFF - 1005) steps (0.74 s), loses under 3% in two seconds.
            EXPECT_LT(lastSecond, p.name == "ChaosEcho" ? overall : overall / 2);
        }
    }
}

// Room's work area is 26C0h bytes from 7D940h (mBASE FB28h). An impulse of 2000h at tick 1
// reaches the left side at tick 20 (step 10, running address 7D940h + 2 * 10 = 7D954h) as
// 2000h * 16384 / 8000h = 1000h, times vLIN = -1: -1000h. Step 10 then writes:
//   left mLSAME at 7D954h + 4D6h * 8 = 80004h, past the end: 80004h - 26C0h = 7D944h, the
//     value (-1000h * vIIR 6D80h) / 8000h = -28032 / 8 = -3504 (old sample and dLSAME 0);
//   left mLDIFF (offset 0) at 7D954h the same -3504 ([dRDIFF], also offset 0, read 0 first);
//   right mRDIFF (offset 0) over it: ([dLDIFF] -3504 * vWALL BA80h (-17792)) / 8000h
//     = floor(62343168 / 32768) = 1902, then 1902 * 28032 / 32768 = 1627.07 -> 1627;
//   every other write 0 (combs and all-pass sources still read zeros).
TEST(ReverbUnit, WorkAreaTakesTheWritesWhereTheOffsetsSayAndNothingElse) {
    const Preset room = loadPresets().at(0);
    Rig rig;
    rig.apply(room.regs, 0xFB28);
    const uint32_t base = 0x7D940;
    std::fill(rig.ram.begin(), rig.ram.begin() + base, 0xA5);
    for (int32_t t = 0; t <= 21; ++t) rig.tick(t == 1 ? 0x2000 : 0, 0);
    for (uint32_t a = base; a < 0x80000; a += 2) {
        EXPECT_EQ(rig.at(a), a == 0x7D944 ? -3504 : a == 0x7D954 ? 1627 : 0) << a;
    }
    // Three laps of noise: 2 bytes a step, the address is back at mBASE * 8 after 26C0h / 2 =
    // 4960 steps (9920 ticks), having wrapped from 7FFFEh; nothing below the area is written.
    uint32_t noise = 1;
    for (int32_t t = 22; t < 3 * 9920; ++t) {
        EXPECT_TRUE(t % 9920 != 0 || rig.unit.runningAddress() == base) << t;
        noise = noise * 1103515245u + 12345u;
        rig.tick(static_cast<int16_t>(noise >> 16), static_cast<int16_t>(noise >> 8));
    }
    for (uint32_t a = 0; a < base; ++a) ASSERT_EQ(rig.ram[a], 0xA5) << a;
    rig.unit.writeRegister(0xDA2, 0xFB28);  // an mBASE write restarts the running address
    EXPECT_EQ(rig.unit.runningAddress(), base);
}

// The datapath rules on one step; the setup and the arithmetic are in the data file.
TEST(ReverbUnit, DatapathRules) {
    std::ifstream in(REVERB_TEST_DATA "/reverb_rules.txt");
    struct Rule {
        uint16_t vIir, vWall;
        int32_t x, d, old, enabled;
        std::string what;
        int32_t expected;
        std::string name;
    };
    std::vector<Rule> rules;
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream row(line);
        Rule r;
        row >> std::hex >> r.vIir >> r.vWall >> r.x >> std::dec >> r.d >> r.old >> r.enabled >>
            r.what >> r.expected >> std::ws;
        std::getline(row, r.name);
        rules.push_back(r);
    }
    ASSERT_EQ(rules.size(), 10u);
    for (const Rule& r : rules) {
        SCOPED_TRACE(r.name);
        Rig rig;
        uint16_t regs[32] = {};
        regs[reverb::kVIir] = r.vIir;
        regs[reverb::kVWall] = r.vWall;
        regs[reverb::kMLSame] = 0x10;
        regs[reverb::kDLSame] = 0x08;
        regs[reverb::kVLIn] = 0x8000;
        if (r.what == "output") {
            regs[reverb::kVComb1] = regs[reverb::kVApf1] = regs[reverb::kVApf2] = 0x4000;
            for (uint32_t a = 0x78000; a < 0x80000; a += 2) rig.put(a, 0x1000);
        }
        rig.apply(regs, 0xF000);
        rig.put(0x78054, r.d);
        rig.put(0x78092, r.old);
        rig.put(0x78094, 0x1234);
        rig.irq.address8 = 0x78094 >> 3;
        int32_t observed = 0;
        for (int32_t t = 0; t <= 61; ++t) {
            rig.irq.armed = t == 20;
            const reverb::StereoSample s = rig.tick(t == 1 ? r.x : 0, 0, t == 20 && r.enabled);
            if (t == 20 && r.what == "same") observed = rig.at(0x78094);
            if (t == 20 && r.what == "irq") observed = rig.irq.hit;
            if (t == 61 && r.what == "output") observed = s.left;
        }
        EXPECT_EQ(observed, r.expected);
    }
}

// A save state is plain bytes: whatever they hold, afterStateLoad() keeps every access inside
// sound RAM and the unit's own arrays (the sanitizer build checks each one).
TEST(ReverbUnit, AnyStateBytesStayInsideMemoryAfterLoad) {
    for (const int fill : {0x00, 0x5A, 0xFF}) {
        Rig rig;
        std::memset(static_cast<void*>(&rig.unit), fill, sizeof rig.unit);
        rig.unit.afterStateLoad();
        for (int32_t t = 0; t < 64; ++t) rig.tick(t * 999, -t);
        EXPECT_LT(rig.unit.runningAddress(), 0x80000u);
    }
}

}  // namespace
