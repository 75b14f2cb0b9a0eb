// Batched frame production against one frame at a time: two cores get the same random host
// program; one makes each streaming pass with produceFrames, the other with produceFrame calls.
// Every frame, every register read and the voices' inner state must agree after every pass.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "cpu_features.h"
#include "random_register_program.h"

namespace {

constexpr int kPrograms = 6;
constexpr int64_t kFramesPerProgram = 60000;

using randomprogram::Op;

void expectSameRegisters(SpuCore& batched, SpuCore& single) {
    for (uint32_t offset = 0xC00; offset <= 0xDFE; offset += 2) {
        // A data port read moves the transfer address on: read it in the same order on both.
        ASSERT_EQ(batched.readRegister(randomprogram::kHostBase + offset),
                  single.readRegister(randomprogram::kHostBase + offset))
            << std::hex << "register 0x" << offset;
    }
}

void expectSameVoices(const SpuCore& batched, const SpuCore& single) {
    for (int v = 0; v < SpuCore::kVoiceCount; ++v) {
        const Voice& a = batched.voice(v);
        const Voice& b = single.voice(v);
        ASSERT_EQ(a.getPhase(), b.getPhase()) << "voice " << v;
        ASSERT_EQ(a.getEnvelopeAccumulator(), b.getEnvelopeAccumulator()) << "voice " << v;
        ASSERT_EQ(a.getPitchCounter(), b.getPitchCounter()) << "voice " << v;
        ASSERT_EQ(a.getBlockAddress(), b.getBlockAddress()) << "voice " << v;
        ASSERT_EQ(a.getCurrentVolumeLeft(), b.getCurrentVolumeLeft()) << "voice " << v;
        ASSERT_EQ(a.getCurrentVolumeRight(), b.getCurrentVolumeRight()) << "voice " << v;
        ASSERT_EQ(a.getHistory1(), b.getHistory1()) << "voice " << v;
        ASSERT_EQ(a.getHistory2(), b.getHistory2()) << "voice " << v;
    }
    ASSERT_EQ(batched.cdAudio().getReadIndex(), single.cdAudio().getReadIndex());
}

// Runs one program on both cores; returns the frames compared.
int64_t runProgram(uint32_t seed) {
    auto batched = std::make_unique<SpuCore>(64);
    auto single = std::make_unique<SpuCore>(64);
    randomprogram::Generator program(seed);
    std::vector<uint8_t> fromBatch(4 * 4096);
    std::vector<uint8_t> fromSingle(4 * 4096);
    int64_t frames = 0;
    while (frames < kFramesPerProgram) {
        const Op op = program.next();
        if (op.kind != Op::Pass) {
            randomprogram::apply(*batched, op, program.cdRecord());
            randomprogram::apply(*single, op, program.cdRecord());
            continue;
        }
        batched->produceFrames(fromBatch.data(), op.frames);
        for (int32_t i = 0; i < op.frames; ++i) {
            int16_t left = 0;
            int16_t right = 0;
            single->produceFrame(left, right);
            std::memcpy(&fromSingle[4 * i], &left, 2);
            std::memcpy(&fromSingle[4 * i + 2], &right, 2);
        }
        batched->refreshShadow();
        single->refreshShadow();
        for (int32_t i = 0; i < op.frames; ++i) {
            if (std::memcmp(&fromBatch[4 * i], &fromSingle[4 * i], 4) != 0) {
                ADD_FAILURE() << "seed " << seed << ": frame " << frames + i << " of a pass of "
                              << op.frames << " differs";
                return frames;
            }
        }
        frames += op.frames;
        expectSameRegisters(*batched, *single);
        expectSameVoices(*batched, *single);
        if (::testing::Test::HasFatalFailure()) return frames;
    }
    return frames;
}

TEST(BatchDifferential, RandomProgramsGiveTheSameFramesAndRegisters) {
    int64_t compared = 0;
    // Half the programs on the baseline (SSE2) kernels: what a processor without AVX2 runs.
    for (int p = 0; p < kPrograms; ++p) {
        avx2Allowed() = p % 2 == 0;
        compared += runProgram(0x5EED0000u + p);
    }
    avx2Allowed() = true;
    // The count for the record: a change that shortens the programs shows here.
    std::printf("frames compared: %lld\n", static_cast<long long>(compared));
    EXPECT_GE(compared, kPrograms * kFramesPerProgram);
}

// Every voice sounding on looping chains of random blocks for the whole test, at pitches on
// both sides of the points where the vector kernels change how they read the window (one and
// two source samples a step), with sweeping volumes: the quiet runs carry nearly every frame.
void keyOnLoopingVoices(SpuCore& core, std::mt19937& rng, const uint16_t* pitches, int count) {
    const uint32_t base = randomprogram::kHostBase;
    for (int v = 0; v < count; ++v) {
        const uint16_t start = static_cast<uint16_t>(0x400 + v * 64);
        core.writeRegister(base + 0xDA6, start);
        for (int b = 0; b < 32; ++b) {  // flag 6 on the first block, 3 (loop) on the last
            const uint16_t flags = b == 0 ? 6 : (b == 31 ? 3 : 0);
            core.writeDataPort(static_cast<uint16_t>((rng() % 5) << 4 | (rng() % 13) | flags << 8));
            for (int w = 0; w < 7; ++w) core.writeDataPort(static_cast<uint16_t>(rng()));
        }
        const uint32_t voice = base + 0xC00 + 16u * v;
        core.writeRegister(voice + 0x0, v % 3 == 0 ? 0x8000 | (rng() % 0x80) : rng() % 0x8000);
        core.writeRegister(voice + 0x2, v % 4 == 1 ? 0xB000 | (rng() % 0x80) : rng() % 0x8000);
        core.writeRegister(voice + 0x4, pitches[v]);
        core.writeRegister(voice + 0x6, start);
        core.writeRegister(voice + 0x8, 0x1A0F);  // an attack, then a held sustain
        core.writeRegister(voice + 0xA, 0x1FC0);
    }
    core.writeRegister(base + 0xD88, 0xFFFF);
    core.writeRegister(base + 0xD8A, 0x00FF);
}

TEST(BatchDifferential, SoundingVoicesAtPitchesAroundTheKernelLimits) {
    const uint16_t pitches[SpuCore::kVoiceCount] = {0x0001, 0x0400, 0x0800, 0x0C00, 0x0DB6, 0x0FFF,
                                                    0x1000, 0x1001, 0x1249, 0x1555, 0x1800, 0x1C00,
                                                    0x1DDD, 0x1FFE, 0x1FFF, 0x2000, 0x2001, 0x2400,
                                                    0x2AAA, 0x3000, 0x3FFF, 0x4000, 0x8000, 0xFFFF};
    const int32_t passes[] = {44, 1, 7, 44, 128, 45, 300, 3, 8, 44};
    for (bool avx2 : {true, false}) {
        avx2Allowed() = avx2;
        std::mt19937 rng(99);
        std::mt19937 sameRng(99);
        auto batched = std::make_unique<SpuCore>(4);
        auto single = std::make_unique<SpuCore>(4);
        keyOnLoopingVoices(*batched, rng, pitches, SpuCore::kVoiceCount);
        keyOnLoopingVoices(*single, sameRng, pitches, SpuCore::kVoiceCount);
        std::vector<int16_t> fromBatch(2 * 300);
        int64_t frame = 0;
        for (int round = 0; round < 20; ++round) {
            for (int32_t count : passes) {
                batched->produceFrames(reinterpret_cast<uint8_t*>(fromBatch.data()), count);
                for (int32_t i = 0; i < count; ++i, ++frame) {
                    int16_t left = 0;
                    int16_t right = 0;
                    single->produceFrame(left, right);
                    ASSERT_EQ(fromBatch[2 * i], left) << "frame " << frame << " avx2 " << avx2;
                    ASSERT_EQ(fromBatch[2 * i + 1], right) << "frame " << frame << " avx2 " << avx2;
                }
                expectSameVoices(*batched, *single);
            }
        }
        EXPECT_EQ(batched->voice(23).getPhase(), EnvelopePhase::Sustain);  // still sounding
    }
    avx2Allowed() = true;
}

// A pass longer than the core's internal chunk, out to an unaligned place, and the cases that
// produce nothing: a null buffer and counts of 0 or less leave the core where it was.
TEST(BatchDifferential, OddBuffersAndCountsAreSafe) {
    auto core = std::make_unique<SpuCore>(4);
    randomprogram::Generator program(7);
    for (int i = 0; i < 200; ++i) {
        const Op op = program.next();
        if (op.kind != Op::Pass) randomprogram::apply(*core, op, program.cdRecord());
    }
    core->writeRegister(randomprogram::kHostBase + 0xD88, 0xFFFF);
    core->writeRegister(randomprogram::kHostBase + 0xD8A, 0xFF);
    const int32_t before = core->voice(0).getPitchCounter();
    core->produceFrames(nullptr, 100);
    core->produceFrames(std::vector<uint8_t>(4).data(), 0);
    core->produceFrames(std::vector<uint8_t>(4).data(), -5);
    EXPECT_EQ(core->voice(0).getPitchCounter(), before);

    std::vector<uint8_t> out(4 * 1000 + 1, 0xAB);
    core->produceFrames(out.data() + 1, 1000);  // odd address: written bytewise, not as words
    EXPECT_EQ(out[0], 0xAB);
}

}  // namespace
