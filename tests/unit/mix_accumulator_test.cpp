#include "mix_accumulator.h"

#include <gtest/gtest.h>

#include "fixed_point.h"

namespace {

// Adds sum as several 16-bit contributions, the way 24 voices and the CD stream would.
void addSum(MixAccumulator& mix, int32_t leftSum, int32_t rightSum) {
    while (leftSum != 0 || rightSum != 0) {
        const int32_t l = leftSum > 30000 ? 30000 : (leftSum < -30000 ? -30000 : leftSum);
        const int32_t r = rightSum > 30000 ? 30000 : (rightSum < -30000 ? -30000 : rightSum);
        mix.add(static_cast<int16_t>(l), static_cast<int16_t>(r), 0);
        leftSum -= l;
        rightSum -= r;
    }
}

struct ClampCase {
    int32_t sum;
    int16_t expected;
};

TEST(MixAccumulator, EmitClampsAsymmetricallyOnBothSides) {
    const ClampCase cases[] = {
        {0, 0},           {1, 1},           {-1, -1},          {32766, 32766},
        {32767, 32767},   {32768, 32767},   {100000, 32767},   {-32766, -32766},
        {-32767, -32767}, {-32768, -32767}, {-100000, -32767},
    };
    for (const ClampCase& c : cases) {
        MixAccumulator mix;
        addSum(mix, c.sum, c.sum);
        int16_t l = 123, r = 123;
        mix.emit(l, r);
        EXPECT_EQ(l, c.expected) << "sum " << c.sum;
        EXPECT_EQ(r, c.expected) << "sum " << c.sum;
    }
}

TEST(MixAccumulator, SidesClampIndependently) {
    MixAccumulator mix;
    addSum(mix, 50000, -100);
    int16_t l = 0, r = 0;
    mix.emit(l, r);
    EXPECT_EQ(l, 32767);
    EXPECT_EQ(r, -100);
}

TEST(MixAccumulator, ContributionsAreSignExtendedAfterNarrowing) {
    // A voice that computes 40000 hands over its low 16 bits, which read as -25536.
    MixAccumulator mix;
    mix.add(wrapTo16(40000), wrapTo16(-40000), 0);
    EXPECT_EQ(mix.leftSum(), -25536);
    EXPECT_EQ(mix.rightSum(), 25536);
    mix.add(-32768, 32767, 0);
    EXPECT_EQ(mix.leftSum(), -25536 - 32768);
    EXPECT_EQ(mix.rightSum(), 25536 + 32767);
    int16_t l = 0, r = 0;
    mix.emit(l, r);
    EXPECT_EQ(l, -32767);
    EXPECT_EQ(r, 32767);
}

TEST(MixAccumulator, EmitClearsEverySum) {
    MixAccumulator mix;
    mix.add(1000, -2000, 1);
    int16_t l = 0, r = 0;
    mix.emit(l, r);
    EXPECT_EQ(l, 1000);
    EXPECT_EQ(r, -2000);
    mix.emit(l, r);
    EXPECT_EQ(l, 0);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(mix.reverbLeftSum(), 0);
    EXPECT_EQ(mix.reverbRightSum(), 0);
}

TEST(MixAccumulator, ReverbPairIsKeptButNeverHeard) {
    MixAccumulator plain, withReverb;
    for (int i = 0; i < 3; ++i) {
        plain.add(30000, -30000, 0);
        withReverb.add(30000, -30000, 7);  // any non-zero flag counts
    }
    withReverb.add(5, 6, 0);
    plain.add(5, 6, 0);
    EXPECT_EQ(plain.reverbLeftSum(), 0);
    // The reverb pair is neither clamped nor fed by contributions without the flag.
    EXPECT_EQ(withReverb.reverbLeftSum(), 90000);
    EXPECT_EQ(withReverb.reverbRightSum(), -90000);
    int16_t pl = 0, pr = 0, rl = 0, rr = 0;
    plain.emit(pl, pr);
    withReverb.emit(rl, rr);
    EXPECT_EQ(pl, rl);
    EXPECT_EQ(pr, rr);
    EXPECT_EQ(rl, 32767);
    EXPECT_EQ(rr, -32767);
}

}  // namespace
