// spu-play end to end: the WAV it leaves is valid and sounding, and every frame of it is what
// the chip model makes for the same writes at the same frames, a device latency later.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "phrase_script.h"
#include "spu_core.h"
#include "wav_file.h"

namespace {

class CoreTarget : public demo::PhraseTarget {
public:
    explicit CoreTarget(SpuCore& c) : core(c) {}
    void writeRegister(uint32_t address, uint16_t value) override {
        core.writeRegister(address, value);
    }
    void writeDma(const uint16_t* words, int32_t count) override { core.writeBlock(words, count); }

private:
    SpuCore& core;
};

// The phrase on a bare core, frame by frame: the reference.
std::vector<int16_t> referenceFrames(const demo::Phrase& phrase) {
    auto core = std::make_unique<SpuCore>(32);  // the default CD ring; no CD audio is played
    CoreTarget target(*core);
    std::vector<int16_t> out;
    out.reserve(static_cast<size_t>(phrase.frames) * 2);
    size_t next = 0;
    for (uint32_t frame = 0; frame < phrase.frames; ++frame) {
        while (next < phrase.events.size() && phrase.events[next].frame <= frame)
            demo::applyEvent(phrase.events[next++], target);
        int16_t left = 0;
        int16_t right = 0;
        core->produceFrame(left, right);
        out.push_back(left);
        out.push_back(right);
    }
    return out;
}

TEST(SpuPlayTest, WavMatchesTheChipModelFrameForFrame) {
    const std::string out = testing::TempDir() + "spu_play_test.wav";
    std::remove(out.c_str());
    const std::string command =
        std::string("\"") + SPU_PLAY_PATH + "\" --out \"" + out + "\" --plugin \"" + SPU_PLUGIN_PATH + "\"";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;

    demo::WavData wav;
    ASSERT_TRUE(demo::readWav(out, &wav));
    EXPECT_EQ(wav.channels, 2);
    EXPECT_EQ(wav.sampleRate, 44100u);
    EXPECT_EQ(wav.bitsPerSample, 16);

    const demo::Phrase phrase = demo::buildDemoPhrase();
    const std::vector<int16_t> expected = referenceFrames(phrase);
    // The device plays a pass's frames one buffer length (8 KiB: 2048 frames) after the pass
    // made them; before that it plays the buffer's initial silence.
    constexpr size_t kLatencyFrames = 2048;
    ASSERT_EQ(wav.samples.size(), (kLatencyFrames + phrase.frames) * 2);
    for (size_t i = 0; i < kLatencyFrames * 2; ++i) ASSERT_EQ(wav.samples[i], 0) << i;
    size_t mismatches = 0;
    size_t firstMismatch = 0;
    for (size_t i = 0; i < expected.size(); ++i) {
        if (wav.samples[kLatencyFrames * 2 + i] != expected[i] && mismatches++ == 0) firstMismatch = i;
    }
    EXPECT_EQ(mismatches, 0u) << "first at sample " << firstMismatch;

    // Not silent, and loud enough to hear without clipping at the chip's -32767 bound.
    int peak = 0;
    double energy = 0.0;
    for (int16_t s : expected) {
        peak = std::max(peak, std::abs(static_cast<int>(s)));
        energy += static_cast<double>(s) * s;
    }
    EXPECT_GT(peak, 4000);
    EXPECT_LT(peak, 32767);
    EXPECT_GT(energy / static_cast<double>(expected.size()), 1000.0 * 1000.0);
}

}  // namespace
