// The ADPCM encoder, checked by playing what it makes through a Voice.
#include "adpcm_encoder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "voice.h"
#include "voice_test_support.h"

namespace {

std::vector<int16_t> sine(double hz, double amplitude, size_t count) {
    const double kPi = 3.14159265358979323846;
    std::vector<int16_t> pcm(count);
    for (size_t i = 0; i < count; ++i) {
        pcm[i] =
            static_cast<int16_t>(std::lround(amplitude * std::sin(2 * kPi * hz * i / 44100.0)));
    }
    return pcm;
}

std::vector<uint8_t> flagsOf(const std::vector<uint8_t>& blocks) {
    std::vector<uint8_t> flags;
    for (size_t i = 1; i < blocks.size(); i += kAdpcmBlockBytes) flags.push_back(blocks[i]);
    return flags;
}

TEST(AdpcmEncoder, ChainFlags) {
    const std::vector<int16_t> pcm(60, 100);  // three blocks, the last padded
    EXPECT_EQ(flagsOf(encodeAdpcm(pcm.data(), 60, AdpcmLoop::OneShot)),
              (std::vector<uint8_t>{0, 0, 1}));
    EXPECT_EQ(flagsOf(encodeAdpcm(pcm.data(), 60, AdpcmLoop::Loop)),
              (std::vector<uint8_t>{6, 0, 3}));
    // One block cannot carry both the mark and the jump.
    EXPECT_EQ(flagsOf(encodeAdpcm(pcm.data(), 10, AdpcmLoop::Loop)), (std::vector<uint8_t>{6, 3}));
    const std::vector<uint8_t> empty = encodeAdpcm(nullptr, 0, AdpcmLoop::Loop);
    EXPECT_EQ(empty, (std::vector<uint8_t>{0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(AdpcmEncoder, RepresentableSamplesDecodeExactly) {
    // Multiples of 4096 in -32768..28672 are exactly what filter 0, shift 0 produces.
    std::vector<int16_t> pcm;
    for (int i = 0; i < 28; ++i) pcm.push_back(static_cast<int16_t>(((i % 16) - 8) * 4096));
    const std::vector<uint8_t> blocks = encodeAdpcm(pcm.data(), pcm.size(), AdpcmLoop::OneShot);
    ASSERT_EQ(blocks.size(), 16u);
    EXPECT_EQ(blocks[0], 0x00);

    voicetest::SoundRam ram;
    std::memcpy(&ram.bytes[0x800], blocks.data(), blocks.size());
    Voice voice;
    voice.setSoundRam(ram.bytes.data());
    voice.setBlockAddressForTest(0x100);
    voice.decodeBlock();
    for (int i = 0; i < 28; ++i) EXPECT_EQ(voice.windowSample(i + 1), pcm[i]) << i;
}

TEST(AdpcmEncoder, SineRoundTripThroughAVoice) {
    // 0.2 s of 1000 Hz is exactly 200 periods and 315 blocks, so the loop is seamless.
    constexpr size_t kCount = 8820;
    const std::vector<int16_t> pcm = sine(1000.0, 16000.0, kCount);
    const std::vector<uint8_t> blocks = encodeAdpcm(pcm.data(), kCount, AdpcmLoop::Loop);
    ASSERT_EQ(blocks.size(), 315u * 16u);
    for (size_t b = 0; b < blocks.size(); b += 16) ASSERT_LT(blocks[b] >> 4, 5) << b;

    voicetest::SoundRam ram;
    constexpr uint32_t kStart = 0x200;  // 8-byte units
    std::memcpy(&ram.bytes[kStart * 8], blocks.data(), blocks.size());
    Voice voice;
    voicetest::startHeld(voice, ram, kStart, 0x1000);

    // Two passes through the loop. The voice runs one sample behind its data, and the
    // volume 0x3FFF and level 0xFFFF scale by 16383/16384 * 65535/65536.
    const double gain = (16383.0 / 16384.0) * (65535.0 / 65536.0);
    voicetest::render(voice);
    double signal = 0;
    double power = 0;
    double noise = 0;
    int crossings = 0;
    int16_t previous = 0;
    for (size_t n = 0; n < 2 * kCount; ++n) {
        const int16_t out = voicetest::render(voice).left;
        const double expected = gain * pcm[n % kCount];
        signal += expected * expected;
        power += static_cast<double>(out) * out;
        noise += (out - expected) * (out - expected);
        if (n > 0 && ((previous < 0) != (out < 0))) ++crossings;
        previous = out;
    }
    EXPECT_EQ(voice.getPhase(), EnvelopePhase::Sustain);
    EXPECT_EQ(voice.getRepeatAddress(), kStart);
    const double snrDb = 10.0 * std::log10(signal / noise);
    EXPECT_GT(snrDb, 30.0);
    // 1000 Hz over 0.4 s: 800 sign changes.
    EXPECT_NEAR(crossings, 800, 4);
    const double rms = std::sqrt(power / (2 * kCount));
    EXPECT_NEAR(rms, 16000.0 / std::sqrt(2.0), 16000.0 * 0.01);
}

}  // namespace
