// The exact chip through its public calls: the noise clock, pitch modulation, the sources of
// the interrupt, reverb, and save images.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "exact_core.h"

namespace {

constexpr uint32_t kSpucnt = 0xDAA;
constexpr uint32_t kStatus = 0xDAE;
constexpr uint32_t kEndx = 0xD9C;
constexpr uint16_t kEnabled = 0xC000;
constexpr uint16_t kIrqOn = 0xC040;

struct Chip {
    std::unique_ptr<ExactCore> core = std::make_unique<ExactCore>(74);  // the smallest CD ring
    void put(uint32_t reg, uint16_t value) { core->writeRegister(reg, value); }
    uint16_t get(uint32_t reg) { return core->readRegister(reg); }
    // A block at 8-byte unit `unit`: header (shift 0, filter 0), flags, 14 bytes of `nibbles`.
    void block(uint32_t unit, uint8_t flags, uint8_t nibbles) {
        uint8_t* b = core->soundRamBytes() + unit * 8;
        b[0] = 0;
        b[1] = flags;
        std::memset(b + 2, nibbles, 14);
    }
    // Voice n at pitch 1000h on the one-block loop at `unit`, ADSR 000F/1FC0: ENVX 0 for the
    // key-on tick, then 3800h, 7000h, 7FFFh and 3FFFh from then on.
    void keyOn(int n, uint32_t unit, uint16_t pitch = 0x1000) {
        const uint32_t base = 0xC00 + 16u * n;
        put(base + 4, pitch);
        put(base + 6, static_cast<uint16_t>(unit));
        put(base + 8, 0x000F);
        put(base + 0xA, 0x1FC0);
        put(n < 16 ? 0xD88 : 0xD8A, static_cast<uint16_t>(1u << (n % 16)));
    }
    bool irqFlag() { return (get(kStatus) & 0x40) != 0; }
    // The Room preset, its 26C0h-byte work area at the top of sound RAM (mBASE FB28h), vLOUT and
    // vROUT 3000h, 1F801DACh 4 (the reverb runs only with it), SPUCNT `spucnt`.
    void room(uint16_t spucnt) {
        static const uint16_t kRoom[32] = {
            0x7D, 0x5B, 0x6D80, 0x54B8, 0xBED0, 0, 0, 0xBA80, 0x5800, 0x5300, 0x4D6, 0x333, 0x3F0,
            0x227, 0x374, 0x1EF, 0x334, 0x1B5, 0, 0, 0, 0, 0, 0, 0, 0, 0x1B4, 0x136, 0xB8, 0x5C, 0x8000, 0x8000};
        for (uint32_t i = 0; i < 32; ++i) put(0xDC0 + 2 * i, kRoom[i]);
        put(0xDA2, 0xFB28);
        for (uint32_t volume : {0xD84u, 0xD86u}) put(volume, 0x3000);
        put(0xDAC, 4);
        put(kSpucnt, spucnt);
    }
};

TEST(ExactChip, NoiseClockPeriodFollowsShiftAndStep) {
    struct Case {
        uint16_t spucnt;
        int period;  // ticks per LFSR clock: (20000h >> shift) / (step + 4), at least 1
    };
    const Case cases[] = {
        {kEnabled | 10 << 10, 32},           // 20000h >> 10 = 80h, / 4
        {kEnabled | 10 << 10 | 3 << 8, 18},  // 80h / 7 = 18.3: gaps of 18 and 19
        {kEnabled | 12 << 10, 8},            // 20h / 4
        {kEnabled | 15 << 10, 1},            // 4 / 4: every tick
    };
    for (const Case& c : cases) {
        Chip chip;
        chip.put(kSpucnt, c.spucnt);
        chip.put(0xDAC, 0x0004);  // capture rings on: voice 1 lands at 800h
        chip.put(0xD94, 0x0002);  // NON: voice 1 plays noise
        chip.block(0x200, 3, 0);
        chip.keyOn(1, 0x200);
        chip.core->runTicks(512);
        // Count the ticks between changes of the captured noise (the LFSR never repeats a value
        // on consecutive clocks from its start at 0: 1, 3, 7, ...). Skip the envelope's rise.
        std::vector<int> gaps;
        const auto* ring = reinterpret_cast<const int16_t*>(chip.core->soundRamBytes() + 0x800);
        int last = 64;
        for (int slot = 65; slot < 512; ++slot) {
            if (ring[slot] != ring[slot - 1]) {
                gaps.push_back(slot - last);
                last = slot;
            }
        }
        ASSERT_GT(gaps.size(), 2u) << c.spucnt;
        for (size_t i = 1; i < gaps.size(); ++i) {
            EXPECT_GE(gaps[i], c.period) << c.spucnt;
            EXPECT_LE(gaps[i], c.period + 1) << c.spucnt;
        }
    }
}

// Voice 1 on a one-block loop (flags 7) whose end flag sets ENDX when the newest sample reaches 20: from
// the key-on start at sample 3 that takes (20 - 3) * 1000h of counter, i.e. it shows after
// tick 18 (12288 + 17 * 4096 = 81920). Modulated by voice 0, steady at ENVX 3FFFh on a block
// of -8000h samples (interpolated -7F80h, output -7F80h * 3FFFh >> 15 = -3FC0h), the factor is
// 8000h - 3FC0h = 4040h and the step 1000h * 4040h >> 15 = 808h: ENDX shows after tick 35
// (12288 + 34 * 2056 = 82192 >= 81920, while 33 steps give 80136).
TEST(ExactChip, PitchModulationByThePreviousVoice) {
    struct Case {
        uint16_t pmon;
        int ticksWithout;
    };
    const Case cases[] = {{0x0000, 17}, {0x0002, 34}, {0x0001, 17}};  // voice 0 ignores its bit
    for (const Case& c : cases) {
        Chip chip;
        chip.put(kSpucnt, kEnabled);
        chip.block(0x200, 7, 0x88);  // voice 0: -8 << 12 = -8000h every sample, looping
        chip.block(0x300, 7, 0x11);
        chip.keyOn(0, 0x200);
        chip.core->runTicks(8);
        chip.put(0xD90, c.pmon);
        chip.keyOn(1, 0x300);
        chip.core->runTicks(c.ticksWithout);
        EXPECT_EQ(chip.get(kEndx) & 2, 0) << c.pmon;
        chip.core->runTicks(1);
        EXPECT_EQ(chip.get(kEndx) & 2, 2) << c.pmon;
    }
}

TEST(ExactChip, InterruptSources) {
    struct Case {
        const char* what;
        uint16_t irqAddress;  // 8-byte units
        void (*act)(Chip&);
        bool fires;
    };
    // Transfers compare every 16-bit word: 4 words from byte 7F8h touch units FFh only, from
    // 7FCh they reach 800h (unit 100h).
    const Case cases[] = {
        {"DMA write below", 0x100, [](Chip& c) { c.put(0xDA6, 0xFF); uint16_t w[4] = {}; c.core->writeBlock(w, 4); }, false},
        {"DMA write across", 0x100, [](Chip& c) { c.put(0xDA6, 0xFF); uint16_t w[6] = {}; c.core->writeBlock(w, 6); }, true},
        {"DMA read across", 0x100, [](Chip& c) { c.put(0xDA6, 0xFF); uint16_t w[6]; c.core->readBlock(w, 6); }, true},
        {"data port write", 0x100, [](Chip& c) { c.put(0xDA6, 0x100); c.put(0xDA8, 1); }, true},
        {"data port register read", 0x100, [](Chip& c) { c.put(0xDA6, 0x100); c.get(0xDA8); }, true},
        {"data port read", 0x101, [](Chip& c) { c.put(0xDA6, 0x100); for (int i = 0; i < 4; ++i) c.core->readDataPort(); }, false},
        // A voice keyed on at unit 200h enters the next block (unit 202h) after 25 ticks (from
        // sample 3 to 28); its header fetch on tick 26 fires, none before.
        {"voice fetch, 25 ticks", 0x202, [](Chip& c) { c.keyOn(1, 0x200); c.core->runTicks(25); }, false},
        {"voice fetch, 26 ticks", 0x202, [](Chip& c) { c.keyOn(1, 0x200); c.core->runTicks(26); }, true},
        // Capture: tick k writes slot k - 1; voice 1's slot 8 is byte 810h (unit 102h).
        {"capture, 8 ticks", 0x102, [](Chip& c) { c.put(0xDAC, 4); c.core->runTicks(8); }, false},
        {"capture, 9 ticks", 0x102, [](Chip& c) { c.put(0xDAC, 4); c.core->runTicks(9); }, true},
        {"capture off", 0x102, [](Chip& c) { c.core->runTicks(600); }, false},
        // Room from mBASE FB28h (byte 7D940h), one 22050 Hz step every two ticks, the address 2
        // bytes on each step. Unit FB38h is 80h bytes in. The right side's all-pass 2 source,
        // mRAPF2 - dAPF2 = (5Ch - 5Bh) * 8 = 8 bytes ahead, is the access that reaches it first:
        // at step (80h - 8) / 2 = 60, tick 2 * 60 + 1 = 121, the 122nd (mLDIFF at offset 0 takes
        // until step 64; every other offset is larger or wraps behind the address).
        {"reverb, 121 ticks", 0xFB38, [](Chip& c) { c.room(kIrqOn | 0x80); c.core->runTicks(121); }, false},
        {"reverb, 122 ticks", 0xFB38, [](Chip& c) { c.room(kIrqOn | 0x80); c.core->runTicks(122); }, true},
        {"reverb, SPUCNT.7 clear", 0xFB38, [](Chip& c) { c.room(kIrqOn); c.core->runTicks(600); }, false},
    };
    for (const Case& c : cases) {
        Chip chip;
        chip.block(0x200, 0, 0);
        chip.block(0x202, 3, 0);
        chip.put(0xDA4, c.irqAddress);
        chip.put(kSpucnt, kIrqOn);
        c.act(chip);
        EXPECT_EQ(chip.irqFlag(), c.fires) << c.what;
        EXPECT_EQ(chip.core->takeInterruptRise(), c.fires) << c.what;
        EXPECT_FALSE(chip.core->takeInterruptRise()) << c.what;  // once per rise
        chip.put(kSpucnt, kEnabled);                              // acknowledge
        EXPECT_FALSE(chip.irqFlag()) << c.what;
    }
}

TEST(ExactChip, InterruptNeedsTheChipEnabled) {
    Chip chip;
    chip.put(0xDA4, 0x100);
    chip.put(kSpucnt, 0x0040);  // IRQ enable without SPUCNT bit 15
    chip.put(0xDA6, 0x100);
    chip.put(0xDA8, 1);
    EXPECT_FALSE(chip.irqFlag());
}

// CD audio: captured raw at 000h/400h, mixed at the CD volumes, heard while the voices are
// muted. CD volumes 4000h and 2000h: 1000 * 4000h >> 15 = 500 and -2000 * 2000h >> 15 = -500;
// main volume 3FFFh is 7FFEh: 500 * 7FFEh >> 15 = 499 (floor of 499.97), -500 gives -500.
// The CD input starts playing 2205 ticks after its first frame came: at tick 2205, whose capture
// slot is 2205 - 4 * 512 = 157.
TEST(ExactChip, CdAudioCapturedRawAndMixedAtItsVolume) {
    Chip chip;
    chip.put(kSpucnt, 0x8001);  // enabled, muted, CD audio on
    chip.put(0xDAC, 4);
    chip.put(0xDB0, 0x4000);
    chip.put(0xDB2, 0x2000);
    chip.put(0xD80, 0x3FFF);
    chip.put(0xD82, 0x3FFF);
    const int16_t frames[8] = {1000, -2000, 1000, -2000, 1000, -2000, 1000, -2000};
    chip.core->feedCdDigitalAudio(frames, 4);
    chip.core->runTicks(2205);
    int16_t out[2 * 6];
    chip.core->produceFrames(reinterpret_cast<uint8_t*>(out), 6);
    const auto* ram = reinterpret_cast<const int16_t*>(chip.core->soundRamBytes());
    for (int t = 0; t < 6; ++t) {
        const bool fed = t < 4;  // then the ring is empty: silence
        EXPECT_EQ(out[2 * t], fed ? 499 : 0) << t;
        EXPECT_EQ(out[2 * t + 1], fed ? -500 : 0) << t;
        EXPECT_EQ(ram[157 + t], fed ? 1000 : 0) << t;          // CD left ring
        EXPECT_EQ(ram[0x200 + 157 + t], fed ? -2000 : 0) << t;  // CD right ring at 400h
    }
}

// CD-DA sectors of 588 frames, one tick per frame, the seventh 2000 ticks late. The ring plays
// from tick 2205, so each sector finds 2205 frames held, more than the 2000 ticks of lateness: from
// the first frame heard to the last tick run (all but 2205 - 2000 of the 7056 frames) none is silent.
TEST(ExactChip, CdAudioLateSectorLeavesNoGap) {
    Chip chip;
    chip.put(kSpucnt, 0x8001);
    chip.put(0xDB0, 0x4000);
    chip.put(0xD80, 0x3FFF);
    const std::vector<int16_t> sector(2 * 588, 1000);
    std::vector<int16_t> out(2 * 2588);
    int heard = 0, gaps = 0;
    for (int k = 0; k < 12; ++k) {
        chip.core->feedCdDigitalAudio(sector.data(), 588);
        const int ticks = k == 5 ? 2588 : 588;
        chip.core->produceFrames(reinterpret_cast<uint8_t*>(out.data()), ticks);
        for (int t = 0; t < ticks; ++t) out[2 * t] != 0 ? ++heard : gaps += heard > 0;
    }
    EXPECT_EQ(heard, 12 * 588 - 2205 + 2000);
    EXPECT_EQ(gaps, 0);
}

// A drive off the chip's rate: CD-DA sectors of 588 frames fed as the drive reads them (at
// `ppm` parts per million from one frame a tick), 64 ticks a host call, for 60 s. The left channel
// is a 441 Hz tone of amplitude 8000, the right a triangle (1000..17384, 4 a frame). The volumes
// halve both: (x * 4000h) >> 15, then (y * 7FFEh) >> 15 (x 0.99994). From tick 4096 (past the
// start delay): the right moves at most 4 * 1.01 / 2 + 1 (rounding) = 3.02 a tick, so a silent
// tick (a jump to 0) or lost frames (2 a frame) show; the tone's peak in each second is 4000 within
// 1% (a sample point off the crest costs at most 1 - cos(pi / 100) = 0.05%).
TEST(ExactChip, CdAudioFollowsADriveOffRate) {
    std::vector<int16_t> source(2 * 588 * 4600);  // 60 s at 1% fast: 2646000 * 1.01 / 588 < 4600
    for (size_t i = 0; i < source.size() / 2; ++i) {
        source[2 * i] = static_cast<int16_t>(std::lround(8000 * std::sin(6.283185307 * i / 100)));
        const int32_t up = static_cast<int32_t>(i % 4096) * 8;
        source[2 * i + 1] = static_cast<int16_t>(1000 + ((i / 4096) % 2 ? 32768 - up : up) / 2);
    }
    for (int32_t ppm : {0, -3000, 3000, -10000, 10000}) {
        Chip chip;
        chip.put(kSpucnt, 0x8001);
        for (uint32_t reg : {0xDB0u, 0xDB2u}) chip.put(reg, 0x4000);
        for (uint32_t reg : {0xD80u, 0xD82u}) chip.put(reg, 0x3FFF);
        int64_t fed = 0;
        int16_t out[2 * 64], last = 0, peak = 0;
        int jumps = 0, lowPeaks = 0;
        for (int64_t tick = 0; tick < 2646000; tick += 64) {
            for (; (fed + 588) * 1000000 <= tick * (1000000 + ppm); fed += 588)
                chip.core->feedCdDigitalAudio(&source[2 * fed], 588);
            chip.core->produceFrames(reinterpret_cast<uint8_t*>(out), 64);
            for (int t = 0; t < 64; ++t) {
                if (tick + t >= 4096) jumps += std::abs(out[2 * t + 1] - last) > 3;
                last = out[2 * t + 1];
                peak = std::max<int16_t>(peak, out[2 * t]);
            }
            if ((tick + 64) % 44100 < 64) {  // a second ends in this call
                lowPeaks += std::abs(peak - 4000) > 40;
                peak = 0;
            }
        }
        EXPECT_EQ(jumps, 0) << ppm;
        EXPECT_EQ(lowPeaks, 0) << ppm;
    }
}

// Room reverb after 800 ticks of a source, cut then (voice 4's volumes to 0 and key-off; the
// 800 CD frames run out): a tail that decays (the sum of |left| 50-150 ms after the cut above
// that of 250-350 ms), or silence when nothing reaches the reverb.
TEST(ExactChip, ReverbTailOnlyFromWhatFeedsIt) {
    struct Case { const char* what; uint16_t spucnt, eon, transferControl; bool cd, tail; };
    const Case cases[] = {
        {"EON voice", 0xC080, 0x10, 4, false, true}, {"voice without EON", 0xC080, 0, 4, false, false},
        {"CD with SPUCNT.2", 0xC085, 0, 4, true, true}, {"CD without SPUCNT.2", 0xC081, 0, 4, true, false},
        {"SPUCNT.7 clear", 0xC000, 0x10, 4, false, false}, {"1F801DACh clear", 0xC080, 0x10, 0, false, false}};
    for (const Case& c : cases) {
        Chip chip;
        chip.room(c.spucnt);
        chip.put(0xDAC, c.transferControl);
        chip.put(0xD98, c.eon);
        for (uint32_t reg : {0xD80u, 0xD82u, 0xDB0u, 0xDB2u, 0xC40u, 0xC42u}) chip.put(reg, 0x3FFF);
        chip.block(0x200, 7, 0x44);
        const std::vector<int16_t> cd(2 * 800, 8000);
        if (c.cd) chip.core->feedCdDigitalAudio(cd.data(), 800);
        if (!c.cd) chip.keyOn(4, 0x200);
        chip.core->runTicks(c.cd ? 3005 : 800);  // CD audio starts 2205 ticks after it came
        for (uint32_t reg : {0xC40u, 0xC42u}) chip.put(reg, 0);
        chip.put(0xD8C, 0x10);
        std::vector<int16_t> out(2 * 15435);
        chip.core->produceFrames(reinterpret_cast<uint8_t*>(out.data()), 15435);
        int64_t early = 0, late = 0;
        for (int t = 2205; t < 6615; ++t) early += std::abs(out[2 * t]);
        for (int t = 11025; t < 15435; ++t) late += std::abs(out[2 * t]);
        EXPECT_EQ(early > late, c.tail) << c.what;
        EXPECT_TRUE(c.tail || early + late == 0) << c.what;
    }
}

// A busy chip: every voice on, sweeps, modulation, noise, capture, a pending interrupt, and
// reverb mid-tail (Room, every voice in EON).
void busy(Chip& chip) {
    chip.room(kIrqOn | 0x80 | 9 << 10);
    chip.put(0xD98, 0xFFFF);
    chip.put(0xD9A, 0x00FF);
    chip.put(0xDA4, 0x7000);
    for (uint32_t u = 0x200; u < 0x260; u += 2) chip.block(u, u == 0x25E ? 3 : (u == 0x200 ? 4 : 0), static_cast<uint8_t>(u * 37));
    for (int n = 0; n < 24; ++n) {
        chip.keyOn(n, 0x200 + 2u * (n % 40), static_cast<uint16_t>(0x700 + 0x151 * n));
        chip.put(0xC00 + 16u * n, n % 3 == 0 ? 0xC05A : 0x2000);
        chip.put(0xC02 + 16u * n, n % 4 == 0 ? 0x905F : 0x1800);
    }
    chip.put(0xD90, 0x5A5A);
    chip.put(0xD94, 0x0100);
    chip.put(0xD80, 0xA033);
    chip.put(0xD82, 0x3FFF);
}

TEST(ExactChip, LoadedImageContinuesBitForBit) {
    Chip a;
    busy(a);
    a.core->runTicks(1000);
    std::vector<uint8_t> image(ExactCore::kStateBytes);
    a.core->saveState(image.data());
    Chip b;
    b.core->loadState(image.data());
    std::vector<uint8_t> outA(4 * 3000);
    std::vector<uint8_t> outB(4 * 3000);
    a.core->produceFrames(outA.data(), 3000);
    b.core->produceFrames(outB.data(), 3000);
    EXPECT_EQ(outA, outB);
    for (uint32_t reg = 0xC00; reg < 0xE60; reg += 2) EXPECT_EQ(a.get(reg), b.get(reg)) << reg;
    EXPECT_EQ(0, std::memcmp(a.core->soundRamBytes(), b.core->soundRamBytes(), ExactCore::kSoundRamBytes));
}

TEST(ExactChip, DamagedImageStaysInsideTheChip) {
    for (uint8_t fill : {0x00, 0x5A, 0xFF}) {
        std::vector<uint8_t> image(ExactCore::kStateBytes, fill);
        Chip chip;
        chip.core->loadState(image.data());
        std::vector<uint8_t> out(4 * 700);
        chip.core->produceFrames(out.data(), 700);  // under ASan: no access outside
        chip.put(0xD88, 0xFFFF);
        chip.core->runTicks(100);
    }
}

}  // namespace
