// Whole frames out of the core, driven only through registers and the data port, as a host
// and the streaming thread drive it. Expected values follow the voice's arithmetic by hand:
// out = ((((volume >> 10) * sample) >> 14) * envelopeLevel) >> 16.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "spu_core.h"

namespace {

constexpr uint16_t kBlockUnit = 0x0200;  // 8-byte units: sound RAM byte 0x1000

struct Frame {
    int16_t left;
    int16_t right;
    bool operator==(const Frame& o) const { return left == o.left && right == o.right; }
};

// One 16-byte ADPCM block with filter 0 and shift 0, so each nibble n decodes to n * 4096:
// samples 1, 7, -1, -8 (4096, 28672, -4096, -32768), then 24 samples of `fill`.
void writeBlock(SpuCore& core, uint16_t unit, uint8_t flags, uint8_t fill = 0x11) {
    core.writeRegister(0xDA6, unit);
    const uint8_t bytes[16] = {0x00, flags, 0x71, 0x8F, fill, fill, fill, fill,
                               fill, fill,  fill, fill, fill, fill, fill, fill};
    uint16_t words[8];
    for (int i = 0; i < 8; ++i)
        words[i] = static_cast<uint16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
    core.writeBlock(words, 8);
}

// Left 0x3FFF, right 0x2000, pitch 1.0, attack rate 0, decay rate 0, sustain level 15.
void setUpVoice(SpuCore& core, int v, uint16_t start = kBlockUnit) {
    const uint32_t base = 0xC00 + 16u * v;
    core.writeRegister(base + 0x0, 0x3FFF);
    core.writeRegister(base + 0x2, 0x2000);
    core.writeRegister(base + 0x4, 0x1000);
    core.writeRegister(base + 0x6, start);
    core.writeRegister(base + 0x8, 0x000F);
    core.writeRegister(base + 0xA, 0x0000);
}

void keyOn(SpuCore& core, uint32_t voiceMask) {
    core.writeRegister(0xD88, voiceMask & 0xFFFF);
    core.writeRegister(0xD8A, voiceMask >> 16);
}

Frame frame(SpuCore& core) {
    Frame f{0x5555, 0x5555};
    core.produceFrame(f.left, f.right);
    return f;
}

// Voice 0's first five frames after key on (left, right):
//  1: window entry 0 is 0 after key on; the envelope rises to 0x800000     -> 0, 0
//  2: sample 4096, envelope full (0xFFFF), decay starts with step -4095     -> 4094, 2047
//  3: sample 28672, envelope 0xFFF000 (level 0xFFF0)                       -> 28663, 14332
//  4: sample -4096, level 0xFFE0                                            -> -4094, -2047
//  5: sample -32768, level 0xFFD0                                           -> -32743, -16372
const Frame kGolden[] = {{0, 0}, {4094, 2047}, {28663, 14332}, {-4094, -2047}, {-32743, -16372}};

TEST(SpuCoreFrames, NothingPlayingGivesSilence) {
    auto core = std::make_unique<SpuCore>(32);
    for (int i = 0; i < 64; ++i) EXPECT_EQ(frame(*core), (Frame{0, 0}));
}

TEST(SpuCoreFrames, VoiceKeyedOnThroughRegistersPlaysItsBlock) {
    for (int v : {0, 15, 16, 23}) {
        auto core = std::make_unique<SpuCore>(32);
        writeBlock(*core, kBlockUnit, 0x00);
        setUpVoice(*core, v);
        keyOn(*core, 1u << v);
        for (const Frame& expected : kGolden) {
            const Frame got = frame(*core);
            EXPECT_EQ(got.left, expected.left) << "voice " << v;
            EXPECT_EQ(got.right, expected.right) << "voice " << v;
        }
        core->refreshShadow();
        const uint32_t low = v < 16 ? (1u << v) : 0u, high = v < 16 ? 0u : (1u << (v - 16));
        EXPECT_EQ(core->readRegister(0xC0C + 16u * v), 0xFFD0);
        EXPECT_EQ(core->readRegister(0xD9C), low);
        EXPECT_EQ(core->readRegister(0xD9E), high);
        EXPECT_EQ(core->readRegister(0xD88), low);
        EXPECT_EQ(core->readRegister(0xD8A), high);
    }
}

TEST(SpuCoreFrames, EndFlagSilencesTheVoiceAndClearsItsActiveBit) {
    auto core = std::make_unique<SpuCore>(32);
    writeBlock(*core, kBlockUnit, 0x01);
    setUpVoice(*core, 0);
    keyOn(*core, 1);
    for (int i = 0; i < 28; ++i) frame(*core);
    // The 29th step acts on the end flag: it still runs, at envelope 0.
    EXPECT_EQ(frame(*core), (Frame{0, 0}));
    core->refreshShadow();
    EXPECT_EQ(core->readRegister(0xD9C), 1);
    EXPECT_EQ(core->readRegister(0xC0C), 0);
    EXPECT_EQ(frame(*core), (Frame{0, 0}));
    core->refreshShadow();
    EXPECT_EQ(core->readRegister(0xD9C), 0);
    EXPECT_EQ(core->readRegister(0xD88), 1);  // the key-on latch stays until the next write
    EXPECT_EQ(core->voice(0).getPhase(), EnvelopePhase::Idle);
}

TEST(SpuCoreFrames, LoopMarkShowsInTheRepeatAddressRegister) {
    auto core = std::make_unique<SpuCore>(32);
    writeBlock(*core, kBlockUnit, 0x06);
    writeBlock(*core, kBlockUnit + 2, 0x03);
    setUpVoice(*core, 0);
    keyOn(*core, 1);
    for (int i = 0; i < 29; ++i) frame(*core);
    core->refreshShadow();
    EXPECT_EQ(core->readRegister(0xC0E), kBlockUnit);
    for (int i = 0; i < 28; ++i) frame(*core);  // the second block's flag 3 jumps back
    EXPECT_EQ(core->voice(0).getBlockAddress(), kBlockUnit);
    EXPECT_NE(core->voice(0).getPhase(), EnvelopePhase::Idle);
}

TEST(SpuCoreFrames, CdAudioIsAddedAfterTheVoices) {
    auto core = std::make_unique<SpuCore>(32);
    writeBlock(*core, kBlockUnit, 0x00);
    setUpVoice(*core, 0);
    auto cd = std::make_unique<XaDecodeRecord>();
    cd->frequency = 44100;
    cd->bits = 4;
    cd->stereo = 1;
    cd->sampleCount = 3;
    const int16_t pcm[] = {1000, -1000, 2000, -2000, 3000, -3000};
    for (int i = 0; i < 6; ++i) cd->pcm[i] = pcm[i];
    core->feedCdAudio(cd.get());
    core->writeRegister(0xDB0, 0x4000);  // half volume: exact halves
    core->writeRegister(0xDB2, 0x4000);
    keyOn(*core, 1);
    EXPECT_EQ(frame(*core), (Frame{500, -500}));
    EXPECT_EQ(frame(*core), (Frame{4094 + 1000, 2047 - 1000}));
    EXPECT_EQ(frame(*core), (Frame{28663 + 1500, 14332 - 1500}));
    EXPECT_EQ(frame(*core), kGolden[3]);  // the ring is empty: voices only
    EXPECT_EQ(core->cdAudio().getReadIndex(), 6);
}

TEST(SpuCoreFrames, SumOfVoicesClampsAtTheMixer) {
    auto core = std::make_unique<SpuCore>(32);
    writeBlock(*core, kBlockUnit, 0x00);
    setUpVoice(*core, 0);
    setUpVoice(*core, 1);
    keyOn(*core, 0x3);
    const Frame expected[] = {
        {0, 0}, {8188, 4094}, {32767, 28664}, {-8188, -4094}, {-32767, -32744}};
    for (const Frame& e : expected) EXPECT_EQ(frame(*core), e);
}

TEST(SpuCoreFrames, ReverbFlagChangesNothingAudible) {
    auto dry = std::make_unique<SpuCore>(32);
    auto wet = std::make_unique<SpuCore>(32);
    for (SpuCore* core : {dry.get(), wet.get()}) {
        writeBlock(*core, kBlockUnit, 0x06, 0x7C);
        writeBlock(*core, kBlockUnit + 2, 0x03, 0xE5);
        setUpVoice(*core, 3);
        keyOn(*core, 1u << 3);
    }
    wet->writeRegister(0xD98, 1u << 3);
    int nonZero = 0;
    for (int i = 0; i < 500; ++i) {
        const Frame d = frame(*dry);
        EXPECT_EQ(d, frame(*wet)) << i;
        nonZero += d.left != 0;
    }
    EXPECT_GT(nonZero, 400);
    wet->refreshShadow();
    EXPECT_EQ(wet->readRegister(0xD98), 1u << 3);
}

}  // namespace
