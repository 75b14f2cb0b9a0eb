#include "cd_audio_stream.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "mix_accumulator.h"

namespace {

constexpr int32_t kDefaultKiB = 32;  // the settings' default: 16384 samples, 8191 frames

std::unique_ptr<XaDecodeRecord> makeBlock(int32_t frequency, int32_t bits, int32_t stereo,
                                          int32_t sampleCount) {
    auto rec = std::make_unique<XaDecodeRecord>();  // zeroed
    rec->frequency = frequency;
    rec->bits = bits;
    rec->stereo = stereo;
    rec->sampleCount = sampleCount;
    return rec;
}

// Left samples count up from 1, right samples count down from -1, so every slot tells which
// source frame it came from.
std::unique_ptr<XaDecodeRecord> makeNumberedStereo(int32_t frequency, int32_t frames) {
    auto rec = makeBlock(frequency, 4, 1, frames);
    for (int32_t i = 0; i < frames; ++i) {
        rec->pcm[2 * i] = static_cast<int16_t>(i + 1);
        rec->pcm[2 * i + 1] = static_cast<int16_t>(-(i + 1));
    }
    return rec;
}

std::unique_ptr<XaDecodeRecord> makeNumberedMono(int32_t frequency, int32_t samples) {
    auto rec = makeBlock(frequency, 4, 0, samples);
    for (int32_t i = 0; i < samples; ++i) rec->pcm[i] = static_cast<int16_t>(i + 1);
    return rec;
}

// Drains the ring into a list of (left, right) slot pairs without mixing.
std::vector<std::pair<int16_t, int16_t>> heldFrames(const CdAudioStream& cd) {
    std::vector<std::pair<int16_t, int16_t>> out;
    for (int32_t i = cd.getReadIndex(); i != cd.getWriteIndex(); i = (i + 2) % cd.getCapacity())
        out.emplace_back(cd.slot(i), cd.slot(i + 1));
    return out;
}

TEST(CdAudioStream, VolumeDecodeDropsTheSign) {
    const struct {
        uint32_t raw;
        int32_t volume;
    } cases[] = {
        {0x0000, 0},      {0x3FFF, 0x3FFF}, {0x7FFF, 0x7FFF}, {0x8000, 0x7FFF},
        {0xC000, 0x3FFF}, {0xFFFF, 0},      {0xFFFE, 1},      {0x18000, 0x7FFF},  // bit 16 ignored
    };
    for (const auto& c : cases) EXPECT_EQ(CdAudioStream::decodeCdVolume(c.raw), c.volume) << c.raw;
    CdAudioStream cd(kDefaultKiB);
    cd.setLeftVolume(0x8000);
    cd.setRightVolume(0xC000);
    EXPECT_EQ(cd.getVolumeLeft(), 0x7FFF);
    EXPECT_EQ(cd.getVolumeRight(), 0x3FFF);
}

TEST(CdAudioStream, CapacityIsHalfTheBufferSizeInBytes) {
    EXPECT_EQ(CdAudioStream(kDefaultKiB).getCapacity(), 16384);
    EXPECT_EQ(CdAudioStream(1).getCapacity(), 512);
    EXPECT_EQ(CdAudioStream(1024).getCapacity(), 524288);
}

TEST(CdAudioStream, EmptyOrInvalidRingDoesNothing) {
    for (int32_t size : {0, -1, -1024}) {
        CdAudioStream cd(size);
        EXPECT_EQ(cd.getCapacity(), 0);
        EXPECT_FALSE(cd.isUsable());
        cd.setLeftVolume(0x7FFF);
        cd.feed(makeNumberedMono(44100, 100).get());
        MixAccumulator mix;
        cd.mixInto(mix);
        EXPECT_EQ(cd.getWriteIndex(), 0);
        EXPECT_EQ(mix.leftSum(), 0);
        EXPECT_EQ(cd.framesHeld(), 0);
    }
    CdAudioStream cd(kDefaultKiB);
    cd.feed(nullptr);
    EXPECT_EQ(cd.getWriteIndex(), 0);
}

TEST(CdAudioStream, StereoAt37800HzGives2352FramesByZeroOrderHold) {
    CdAudioStream cd(kDefaultKiB);
    cd.feed(makeNumberedStereo(37800, 2016).get());
    const auto frames = heldFrames(cd);
    ASSERT_EQ(frames.size(), 2352u);
    // Frame k is source frame floor(k * 37800 / 44100) = floor(6k / 7).
    const int expectedSource[] = {0, 0, 1, 2, 3, 4, 5, 6, 6, 7};
    for (int k = 0; k < 10; ++k) {
        EXPECT_EQ(frames[k].first, expectedSource[k] + 1) << k;
        EXPECT_EQ(frames[k].second, -(expectedSource[k] + 1)) << k;
    }
    EXPECT_EQ(frames.back().first, 2016);  // the last source frame is reached
}

TEST(CdAudioStream, MonoAt18900HzFillsEachSampleTwoOrThreeFrames) {
    CdAudioStream cd(64);  // 16383 frames: the whole block fits
    cd.feed(makeNumberedMono(18900, 4032).get());
    const auto frames = heldFrames(cd);
    ASSERT_EQ(frames.size(), 9408u);
    std::vector<int> runs(4032, 0);
    for (const auto& f : frames) {
        EXPECT_EQ(f.first, f.second);  // mono feeds both sides
        ASSERT_GE(f.first, 1);
        ASSERT_LE(f.first, 4032);
        runs[f.first - 1]++;
    }
    // 18900 / 44100 = 3 / 7: the runs go 3, 2, 2, 3, 2, 2, ...
    EXPECT_EQ(runs[0], 3);
    EXPECT_EQ(runs[1], 2);
    EXPECT_EQ(runs[2], 2);
    EXPECT_EQ(runs[3], 3);
    for (int r : runs) EXPECT_TRUE(r == 2 || r == 3);
}

TEST(CdAudioStream, BlockLargerThanTheRingStopsWhereTheRingIsFull) {
    CdAudioStream cd(kDefaultKiB);
    cd.feed(makeNumberedMono(18900, 4032).get());
    EXPECT_EQ(cd.framesHeld(), 8191);
    EXPECT_EQ(cd.getWriteIndex(), 16382);
    // 8191 frames reach source sample floor(8190 * 3 / 7) = 3510, numbered 3511.
    EXPECT_EQ(cd.slot(16380), 3511);
}

TEST(CdAudioStream, SixteenBitStereoCountsQuarterFrames) {
    {
        CdAudioStream cd(kDefaultKiB);
        auto rec = makeBlock(44100, 16, 1, 2352);
        cd.feed(rec.get());
        EXPECT_EQ(cd.framesHeld(), 588);
    }
    {
        CdAudioStream cd(kDefaultKiB);
        cd.feed(makeBlock(44100, 16, 0, 2352).get());
        EXPECT_EQ(cd.framesHeld(), 2352);
    }
    {
        CdAudioStream cd(kDefaultKiB);
        cd.feed(makeBlock(44100, 8, 1, 2352).get());
        EXPECT_EQ(cd.framesHeld(), 2352);
    }
    {
        CdAudioStream cd(kDefaultKiB);  // 3 / 4 rounds to 0: nothing to play
        cd.feed(makeBlock(44100, 16, 1, 3).get());
        EXPECT_EQ(cd.framesHeld(), 0);
    }
}

TEST(CdAudioStream, FullRingRulesHoldWhereverTheReadIndexStands) {
    CdAudioStream cd(kDefaultKiB);
    const int32_t capacity = cd.getCapacity();
    // readIndex 0: the last free frame is at capacity - 4; the ring is full at capacity - 2.
    cd.setIndicesForTest(capacity - 4, 0);
    cd.feed(makeNumberedStereo(44100, 5).get());
    EXPECT_EQ(cd.getWriteIndex(), capacity - 2);
    EXPECT_EQ(cd.slot(capacity - 4), 1);
    EXPECT_EQ(cd.framesHeld(), capacity / 2 - 1);

    // Feeding a full ring writes nothing.
    cd.feed(makeNumberedStereo(44100, 5).get());
    EXPECT_EQ(cd.getWriteIndex(), capacity - 2);
    EXPECT_EQ(cd.slot(capacity - 2), 0);

    // Across the end of the ring: two frames fit between capacity - 2 and readIndex 4.
    cd.setIndicesForTest(capacity - 2, 4);
    cd.feed(makeNumberedStereo(44100, 5).get());
    EXPECT_EQ(cd.getWriteIndex(), 2);
    EXPECT_EQ(cd.slot(capacity - 2), 1);
    EXPECT_EQ(cd.slot(0), 2);
    EXPECT_EQ(cd.slot(1), -2);
    EXPECT_EQ(cd.slot(2), 0);
}

TEST(CdAudioStream, ExtremeRates) {
    {
        // Rate 0 never leaves the first frame: it is repeated until the ring is full.
        CdAudioStream cd(1);
        cd.feed(makeNumberedStereo(0, 10).get());
        const auto frames = heldFrames(cd);
        EXPECT_EQ(frames.size(), 255u);
        for (const auto& f : frames) {
            EXPECT_EQ(f.first, 1);
            EXPECT_EQ(f.second, -1);
        }
    }
    {
        // The highest rate passes the whole block after one frame; the position sum must not
        // wrap into a negative index.
        CdAudioStream cd(kDefaultKiB);
        cd.feed(makeNumberedStereo(0x7FFFFFFF, 16).get());
        EXPECT_EQ(cd.framesHeld(), 1);
        cd.feed(makeNumberedStereo(88200, 6).get());  // every second source frame
        const auto frames = heldFrames(cd);
        ASSERT_EQ(frames.size(), 4u);
        EXPECT_EQ(frames[1].first, 1);
        EXPECT_EQ(frames[2].first, 3);
        EXPECT_EQ(frames[3].first, 5);
    }
}

TEST(CdAudioStream, UnsafeBlocksAreIgnoredWhole) {
    auto rejected = [](std::unique_ptr<XaDecodeRecord> rec) {
        CdAudioStream cd(64);
        cd.feed(rec.get());
        return cd.framesHeld() == 0;
    };
    EXPECT_TRUE(rejected(makeBlock(44100, 4, 2, 100)));
    EXPECT_TRUE(rejected(makeBlock(44100, 4, -1, 100)));
    EXPECT_TRUE(rejected(makeBlock(-44100, 4, 0, 100)));
    EXPECT_TRUE(rejected(makeBlock(44100, 4, 0, 0)));
    EXPECT_TRUE(rejected(makeBlock(44100, 4, 0, -5)));
    // The record holds 16896 samples: that many mono samples or 8448 stereo frames.
    EXPECT_TRUE(rejected(makeBlock(44100, 4, 0, 16897)));
    EXPECT_FALSE(rejected(makeBlock(44100, 4, 0, 16896)));
    EXPECT_TRUE(rejected(makeBlock(44100, 4, 1, 8449)));
    EXPECT_FALSE(rejected(makeBlock(44100, 4, 1, 8448)));
    EXPECT_TRUE(rejected(makeBlock(44100, 16, 1, 4 * 8449)));
    EXPECT_FALSE(rejected(makeBlock(44100, 16, 1, 4 * 8448)));
    EXPECT_TRUE(rejected(makeBlock(44100, 4, 1, 0x7FFFFFFF)));
}

TEST(CdAudioStream, MixScalesBy15BitVolumeAndNeverFeedsReverb) {
    CdAudioStream cd(kDefaultKiB);
    auto rec = makeBlock(44100, 4, 1, 3);
    const int16_t pcm[] = {20000, -20000, -1, 1, -32768, 32767};
    for (int i = 0; i < 6; ++i) rec->pcm[i] = pcm[i];
    cd.feed(rec.get());
    cd.setLeftVolume(0x4000);
    cd.setRightVolume(0x7FFF);
    const int32_t expected[][2] = {
        {10000, -20000},  // 20000 * 0x4000 >> 15; -20000 * 0x7FFF >> 15 rounds down
        {-1, 0},          // -1 * 0x4000 >> 15 is -1 (arithmetic shift), 1 * 0x7FFF >> 15 is 0
        {-16384, 32766},
    };
    for (const auto& e : expected) {
        MixAccumulator mix;
        cd.mixInto(mix);
        EXPECT_EQ(mix.leftSum(), e[0]);
        EXPECT_EQ(mix.rightSum(), e[1]);
        EXPECT_EQ(mix.reverbLeftSum(), 0);
        EXPECT_EQ(mix.reverbRightSum(), 0);
    }
    MixAccumulator mix;  // the ring is empty now: no contribution
    cd.mixInto(mix);
    EXPECT_EQ(mix.leftSum(), 0);
    EXPECT_EQ(cd.getReadIndex(), 6);
}

TEST(CdAudioStream, SilentVolumesStillDrainOneFramePerOutputFrame) {
    CdAudioStream cd(kDefaultKiB);
    cd.feed(makeNumberedStereo(44100, 10).get());
    for (int i = 0; i < 10; ++i) {
        MixAccumulator mix;
        cd.mixInto(mix);
        EXPECT_EQ(mix.leftSum(), 0);
        EXPECT_EQ(mix.rightSum(), 0);
        EXPECT_EQ(cd.getReadIndex(), 2 * (i + 1));
    }
    EXPECT_EQ(cd.framesHeld(), 0);
    MixAccumulator mix;
    cd.mixInto(mix);
    EXPECT_EQ(cd.getReadIndex(), 20);
}

}  // namespace
