// A seeded, bounded soak of the whole core with hostile input: random register writes to any
// address, random sound RAM through DMA (so voices decode garbage blocks with every filter and
// flag), random CD audio headers, and frames in between. It asserts the invariants the rest of
// the plug-in relies on; under -DSPU_SANITIZE=address it also proves there is no out-of-bounds
// access and no undefined arithmetic.
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <vector>

#include "spu_core.h"

namespace {

constexpr int kRegisterWrites = 200000;

class CoreFuzz : public ::testing::TestWithParam<int32_t> {};

uint32_t randomAddress(std::mt19937& rng) {
    switch (rng() % 8) {
        case 0:
            return rng();  // anything at all
        case 1:
            return rng() & 0xFFF;  // any offset, most outside the window
        case 2:
            return 0x1F801D88u + 2 * (rng() % 12);  // the bit registers: keep voices busy
        default:
            return 0x1F801C00u + (rng() & 0x1FF);  // inside the window, odd ones included
    }
}

void checkInvariants(const SpuCore& core) {
    const uint32_t t = core.getTransferAddress();
    ASSERT_TRUE(t == SpuCore::kNoTransferAddress || ((t & 1) == 0 && t < SpuCore::kSoundRamBytes));
    const CdAudioStream& cd = core.cdAudio();
    if (cd.getCapacity() > 0) {
        ASSERT_EQ(cd.getWriteIndex() % 2, 0);
        ASSERT_EQ(cd.getReadIndex() % 2, 0);
        ASSERT_LT(cd.getWriteIndex(), cd.getCapacity());
        ASSERT_LT(cd.getReadIndex(), cd.getCapacity());
        ASSERT_LT(cd.framesHeld(), cd.getCapacity() / 2);
    } else {
        ASSERT_EQ(cd.getWriteIndex(), 0);
    }
}

TEST_P(CoreFuzz, SurvivesRandomHostTraffic) {
    const int32_t xaKiB = GetParam();
    std::mt19937 rng(0x5EED0000u + static_cast<uint32_t>(xaKiB));
    auto core = std::make_unique<SpuCore>(xaKiB);
    auto cd = std::make_unique<XaDecodeRecord>();
    std::vector<uint16_t> words(2048);
    const int32_t interestingRates[] = {0, 1, 18900, 37800, 44100, 0x7FFFFFFF, -1, INT32_MIN};
    const int32_t interestingCounts[] = {0, 1, 4032, 8448, 8449, 16896, 16897, -1, INT32_MAX};
    int64_t audibleFrames = 0;  // proves the traffic really makes voices sound

    for (int i = 0; i < kRegisterWrites; ++i) {
        core->writeRegister(randomAddress(rng), rng() & 0xFFFF);
        if (rng() % 16 == 0) core->readRegister(randomAddress(rng));
        if (rng() % 64 == 0) {
            // A burst of sound RAM: random blocks, sometimes from an unset or wrapped address.
            if (rng() % 4 != 0) core->writeRegister(0x1F801DA6u, rng() & 0xFFFF);
            const int32_t count = static_cast<int32_t>(rng() % 2100) - 50;
            for (auto& w : words) w = static_cast<uint16_t>(rng());
            core->writeBlock(words.data(), count < static_cast<int32_t>(words.size()) ? count : 0);
            if (rng() % 4 == 0) core->readBlock(words.data(), static_cast<int32_t>(rng() % 64));
        }
        if (rng() % 256 == 0) {
            cd->frequency = rng() % 2 ? interestingRates[rng() % 8] : static_cast<int32_t>(rng());
            cd->bits = rng() % 2 ? 16 : static_cast<int32_t>(rng() % 32);
            cd->stereo = static_cast<int32_t>(rng() % 4) - 1;
            cd->sampleCount =
                rng() % 2 ? interestingCounts[rng() % 9] : static_cast<int32_t>(rng() % 40000);
            for (int k = 0; k < 64; ++k)
                cd->pcm[rng() % XaDecodeRecord::kMaxSamples] = static_cast<int16_t>(rng());
            core->feedCdAudio(cd.get());
        }
        if (rng() % 128 == 0) {
            const int frames = static_cast<int>(rng() % 256);
            for (int f = 0; f < frames; ++f) {
                int16_t l = 0, r = 0;
                core->produceFrame(l, r);
                ASSERT_GE(l, -32767);  // the mixer never emits -32768
                ASSERT_GE(r, -32767);
                audibleFrames += (l != 0 || r != 0);
            }
            core->refreshShadow();
            // The high bit-register masks only carry voices 16..23.
            ASSERT_EQ(core->readRegister(0xD8A) & 0xFF00, 0);
            ASSERT_EQ(core->readRegister(0xD9E) & 0xFF00, 0);
        }
        if (i % 1024 == 0) checkInvariants(*core);
    }
    checkInvariants(*core);
    EXPECT_GT(audibleFrames, 1000);
}

// The default ring, the smallest the settings allow, and an unusable one.
INSTANTIATE_TEST_SUITE_P(RingSizes, CoreFuzz, ::testing::Values(32, 1, 0));

}  // namespace
