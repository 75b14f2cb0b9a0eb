// The output step: pitch stepping, interpolation, volume and envelope scaling, the sweep.
#include <gtest/gtest.h>

#include "mix_accumulator.h"
#include "voice.h"
#include "voice_test_support.h"

namespace {

using voicetest::Frame;
using voicetest::render;
using voicetest::SoundRam;

// A sounding voice whose window is set by hand (no decode), fixed volume 0x3FFF.
struct WindowedVoice {
    SoundRam ram;
    Voice voice;

    WindowedVoice(int32_t first, int32_t second, uint32_t pitch) {
        voicetest::startHeld(voice, ram, 0, pitch);
        voice.setNeedsDecodeForTest(false);
        voice.setWindowSampleForTest(0, first);
        voice.setWindowSampleForTest(1, second);
    }
};

TEST(VoiceOutput, FirstStepAfterKeyOnIsSilentThenTheBlockSounds) {
    SoundRam ram;
    ram.putBlock(0x10, 0x00, 0, {0x11});  // 4096, 4096
    Voice voice;
    voicetest::startHeld(voice, ram, 0x10, 0x1000);
    voice.setWindowSampleForTest(28, 20000);  // what an earlier run left: key on clears it
    voice.keyOn(1);
    voicetest::holdEnvelope(voice, Voice::kEnvelopeFull);
    EXPECT_EQ(render(voice).left, 0);
    // 4096: (16383 * 4096) >> 14 = 4095, (4095 * 0xFFFF) >> 16 = 4094
    EXPECT_EQ(render(voice).left, 4094);
}

TEST(VoiceOutput, Pitch1000CrossesABlockBoundarySeamlessly) {
    SoundRam ram;
    ram.putBlock(0x10, 0x00, 0, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x20});  // last: 8192
    ram.putBlock(0x12, 0x00, 1, {0x01});                                         // first: 4096
    Voice voice;
    voicetest::startHeld(voice, ram, 0x10, 0x1000);
    for (int i = 0; i < 28; ++i) EXPECT_EQ(render(voice).left, 0) << i;
    EXPECT_EQ(voice.getPitchCounter(), 0x1C000);
    EXPECT_EQ(voice.getBlockAddress(), 0x10);
    // Step 29 moves to the next block and plays its entry 0, the last sample of the first.
    // 8192: (16383 * 8192) >> 14 = 8191, (8191 * 0xFFFF) >> 16 = 8190
    EXPECT_EQ(render(voice).left, 8190);
    EXPECT_EQ(voice.getBlockAddress(), 0x12);
    EXPECT_EQ(render(voice).left, 4094);
}

TEST(VoiceOutput, HalfPitchInterpolatesLinearly) {
    WindowedVoice w(1000, 2000, 0x800);
    // Interpolated 1000, 1500, 2000; each scaled by (v * 16383 >> 14) * 0xFFFF >> 16.
    EXPECT_EQ(render(w.voice).left, 998);
    EXPECT_EQ(render(w.voice).left, 1498);
    EXPECT_EQ(render(w.voice).left, 1998);

    WindowedVoice nearEnd(1000, 2000, 0);
    nearEnd.voice.setPitchCounterForTest(0xFFF);  // 1000 + (1000 * 4095 >> 12) = 1999
    EXPECT_EQ(render(nearEnd.voice).left, 1997);
    EXPECT_EQ(render(nearEnd.voice).left, 1997);  // pitch 0 holds the position
    EXPECT_EQ(nearEnd.voice.getPitchCounter(), 0xFFF);
}

TEST(VoiceOutput, FixedVolumeAndEnvelopeScaling) {
    WindowedVoice full(1000, 1000, 0);
    const Frame f = render(full.voice);
    EXPECT_EQ(f.left, 998);
    EXPECT_EQ(f.right, 998);

    WindowedVoice half(1000, 1000, 0);
    voicetest::holdEnvelope(half.voice, 0x800000);
    EXPECT_EQ(render(half.voice).left, 499);

    WindowedVoice negative(1000, 1000, 0);
    negative.voice.writeVolumeLeft(0x4000);  // -0x3FFF
    const Frame n = render(negative.voice);
    EXPECT_EQ(n.left, -1000);
    EXPECT_EQ(n.right, 998);
}

TEST(VoiceOutput, EnvelopeMinusOneNegatesToAtMostOne) {
    // Decay rate 0 (step -4095) towards sustain level 0 (threshold -1): from 100 the step
    // lands at -3995 and is held at -1, so the level is -1 for this sample.
    WindowedVoice w(1000, 1000, 0);
    w.voice.setPhaseForTest(EnvelopePhase::Decay);
    w.voice.writeAdsr1(0x0000);
    w.voice.setEnvelopeAccumulatorForTest(100);
    w.voice.writeVolumeRight(0x4000);  // -0x3FFF
    // Left: (16383 * 1000) >> 14 = 999, (999 * -1) >> 16 = -1.
    // Right: (-16383 * 1000) >> 14 = -1000, (-1000 * -1) >> 16 = 0.
    const Frame f = render(w.voice);
    EXPECT_EQ(f.left, -1);
    EXPECT_EQ(f.right, 0);
    EXPECT_EQ(w.voice.getPhase(), EnvelopePhase::Sustain);
    EXPECT_EQ(w.voice.getEnvelopeLevel(), 0xFFFF);  // what the register read shows
}

TEST(VoiceOutput, LargeDecodedSamplesWrapInsteadOfSaturating) {
    // 40000: (16383 * 40000) >> 14 = 39997; 39997 * 0xFFFF = 2621203395 keeps its low 32
    // bits, -1673763901, and >> 16 gives -25540 rather than a clipped 32767.
    WindowedVoice w(40000, 40000, 0);
    EXPECT_EQ(render(w.voice).left, -25540);
}

TEST(VoiceOutput, SweepRate127ReachesTheBoundsAndStops) {
    Voice up;
    up.writeVolumeLeft(0x807F);
    up.writeVolumeRight(0xA07F);
    for (int i = 0; i < 33026; ++i) up.stepVolume();
    EXPECT_EQ(up.getCurrentVolumeLeft(), 33026 * 508);
    EXPECT_EQ(up.getCurrentVolumeRight(), -33026 * 508);
    up.stepVolume();
    EXPECT_EQ(up.getCurrentVolumeLeft(), 0xFFFFFF);
    EXPECT_EQ(up.getCurrentVolumeRight(), -0xFFFFFF);
    up.stepVolume();
    EXPECT_EQ(up.getCurrentVolumeLeft(), 0xFFFFFF);
    EXPECT_EQ(up.getCurrentVolumeRight(), -0xFFFFFF);
}

TEST(VoiceOutput, SweepBit12ReversesAndSpeedsUp) {
    Voice voice;
    voice.writeVolumeLeft(0x907F);  // rate -16256: -65024 per sample
    for (int i = 0; i < 258; ++i) voice.stepVolume();
    EXPECT_EQ(voice.getCurrentVolumeLeft(), -258 * 65024);
    voice.stepVolume();
    EXPECT_EQ(voice.getCurrentVolumeLeft(), -0xFFFFFF);
}

TEST(VoiceOutput, SweptVolumeMultipliersAtTheBounds) {
    // At 0xFFFFFF the multiplier is 16383, at -0xFFFFFF it is -16384.
    WindowedVoice w(1000, 1000, 0);
    w.voice.writeVolumeLeft(0x907F);   // fast to -0xFFFFFF
    w.voice.writeVolumeRight(0x807F);  // slowly up to 0xFFFFFF
    Frame f{0, 0};
    for (int i = 0; i < 33027; ++i) f = render(w.voice);
    EXPECT_EQ(f.left, -1000);  // (-16384 * 1000) >> 14 = -1000, (-1000 * 0xFFFF) >> 16 = -1000
    EXPECT_EQ(f.right, 998);
}

TEST(VoiceOutput, IdleVoiceAddsNothingAndStandsStill) {
    WindowedVoice w(1000, 1000, 0x1000);
    w.voice.setPhaseForTest(EnvelopePhase::Idle);
    w.voice.writeActiveFlag(1);
    MixAccumulator mix;
    mix.add(5, -5, 0);
    w.voice.renderSample(mix);
    int16_t left = 0;
    int16_t right = 0;
    mix.emit(left, right);
    EXPECT_EQ(left, 5);
    EXPECT_EQ(right, -5);
    EXPECT_EQ(w.voice.isActive(), 0);
    EXPECT_EQ(w.voice.getPitchCounter(), 0);
}

TEST(VoiceOutput, ReverbFlagRoutesTheContributionToTheReverbPair) {
    WindowedVoice w(1000, 1000, 0);
    w.voice.writeReverbFlag(1);
    MixAccumulator mix;
    w.voice.renderSample(mix);
    EXPECT_EQ(mix.reverbLeftSum(), 998);
    EXPECT_EQ(mix.reverbRightSum(), 998);
}

}  // namespace
