// Register decoding and key on/off of one voice.
#include <gtest/gtest.h>

#include "voice.h"
#include "voice_test_support.h"

namespace {

struct VolumeCase {
    uint32_t value;
    bool sweep;
    int32_t fixedVolume;
    int32_t rate;
    bool decrease;
    bool exponential;
};

TEST(VoiceRegisters, VolumeDecodeTable) {
    const VolumeCase cases[] = {
        {0x3FFF, false, 0x3FFF, 0, false, false},
        {0x4000, false, -0x3FFF, 0, false, false},  // the offset is 0x3FFF, not 0x4000
        {0x7FFF, false, 0, 0, false, false},
        {0x0000, false, 0, 0, false, false},
        {0x807F, true, 0, 127, false, false},
        {0xA07F, true, 0, 127, true, false},
        {0x907F, true, 0, 127 - 0x3FFF, false, false},  // bit 12: -16256
        {0xC07F, true, 0, 127, false, true},
        {0x8F80, true, 0, 0, false, false},  // bits 7-11 ignored
    };
    for (const VolumeCase& c : cases) {
        Voice voice;
        voice.writeVolumeLeft(c.value);
        voice.writeVolumeRight(c.value);
        SCOPED_TRACE(c.value);
        EXPECT_EQ(voice.isSweepLeft(), c.sweep);
        EXPECT_EQ(voice.isSweepRight(), c.sweep);
        EXPECT_EQ(voice.getFixedVolumeLeft(), c.fixedVolume);
        EXPECT_EQ(voice.getFixedVolumeRight(), c.fixedVolume);
        EXPECT_EQ(voice.getSweepRateLeft(), c.rate);
        EXPECT_EQ(voice.getSweepRateRight(), c.rate);
        EXPECT_EQ(voice.isSweepDecreaseLeft(), c.decrease);
        EXPECT_EQ(voice.isSweepExponentialLeft(), c.exponential);
    }
}

TEST(VoiceRegisters, EachVolumeModeKeepsTheOthersFields) {
    Voice voice;
    voice.writeVolumeLeft(0x1234);
    voice.writeVolumeLeft(0xA07F);
    EXPECT_EQ(voice.getFixedVolumeLeft(), 0x1234);
    voice.writeVolumeLeft(0x0100);
    EXPECT_FALSE(voice.isSweepLeft());
    EXPECT_EQ(voice.getFixedVolumeLeft(), 0x100);
    EXPECT_EQ(voice.getSweepRateLeft(), 127);
    EXPECT_TRUE(voice.isSweepDecreaseLeft());
    // The right side is untouched by left writes.
    EXPECT_EQ(voice.getFixedVolumeRight(), 0);
    EXPECT_FALSE(voice.isSweepRight());
}

TEST(VoiceRegisters, FieldsTakeOnlyTheirBits) {
    Voice voice;
    voice.writePitch(0x12345);
    EXPECT_EQ(voice.getPitch(), 0x2345);
    voice.writeStartAddress(0x1FFFE);
    EXPECT_EQ(voice.getStartAddress(), 0xFFFE);
    voice.writeRepeatAddress(0x30010);
    EXPECT_EQ(voice.getRepeatAddress(), 0x0010);
    voice.writeIrqAddress(0x12345);
    EXPECT_EQ(voice.getIrqAddress(), 0x2345);

    voice.writeAdsr1(0xFFFF);
    EXPECT_EQ(voice.getAttackRate(), 127);
    EXPECT_EQ(voice.getDecayRate(), 15);
    EXPECT_EQ(voice.getSustainLevel(), 15);
    voice.writeAdsr2(0xFFFF);
    EXPECT_TRUE(voice.isSustainDecrease());
    EXPECT_EQ(voice.getSustainRate(), 127);
    EXPECT_EQ(voice.getReleaseRate(), 31);
    voice.writeAdsr2(0x2000);  // bit 13 carries nothing
    EXPECT_FALSE(voice.isSustainDecrease());
    EXPECT_EQ(voice.getSustainRate(), 0);
    EXPECT_EQ(voice.getReleaseRate(), 0);
}

TEST(VoiceRegisters, EnvelopeLevelWriteOnIdleVoiceStaysUntilKeyOn) {
    voicetest::SoundRam ram;
    Voice voice;
    voice.setSoundRam(ram.bytes.data());
    voice.writeEnvelopeLevel(0x18000);
    EXPECT_EQ(voice.getEnvelopeLevel(), 0x8000);
    EXPECT_EQ(voice.getEnvelopeAccumulator(), 0x800000);
    voicetest::render(voice);
    EXPECT_EQ(voice.getEnvelopeLevel(), 0x8000);
    EXPECT_EQ(voice.getPhase(), EnvelopePhase::Idle);
}

TEST(VoiceRegisters, KeyOnLatchesAndStartsTheAttack) {
    Voice voice;
    voice.writeStartAddress(0x200);
    voice.setBlockAddressForTest(0x40);
    voice.setPitchCounterForTest(0x5000);
    voice.setWindowSampleForTest(28, 1234);
    // State a key on must leave alone: predictor history, loop mark, current volume, the
    // envelope level the attack rises from, and the active flag the next step sets.
    voice.setHistoryForTest(11, -22);
    voice.writeRepeatAddress(0x0033);
    voice.writeVolumeLeft(0x1000);
    voice.stepVolume();  // current left volume 0x1000 * 1024
    voice.writeEnvelopeLevel(0x2000);
    voice.writeActiveFlag(1);
    voice.keyOn(1);
    EXPECT_EQ(voice.getHistory1(), 11);
    EXPECT_EQ(voice.getHistory2(), -22);
    EXPECT_EQ(voice.getRepeatAddress(), 0x0033);
    EXPECT_EQ(voice.getCurrentVolumeLeft(), 0x400000);
    EXPECT_EQ(voice.getEnvelopeAccumulator(), 0x200000);
    EXPECT_EQ(voice.isActive(), 1);
    EXPECT_EQ(voice.isKeyOn(), 1);
    EXPECT_EQ(voice.getPhase(), EnvelopePhase::Attack);
    EXPECT_EQ(voice.getBlockAddress(), 0x200);
    EXPECT_EQ(voice.getPitchCounter(), 0);
    EXPECT_EQ(voice.windowSample(28), 0);
    EXPECT_EQ(voice.getEnvelopeStep(), 0x800000);  // attack rate 0

    voice.keyOn(0);  // clears the latch only
    EXPECT_EQ(voice.isKeyOn(), 0);
    EXPECT_EQ(voice.getPhase(), EnvelopePhase::Attack);
    voice.keyOn(0x100);  // only the low byte is kept: 0
    EXPECT_EQ(voice.isKeyOn(), 0);
}

TEST(VoiceRegisters, KeyOffReleasesOnlyASoundingVoice) {
    Voice idle;
    idle.keyOff(1);
    EXPECT_EQ(idle.isKeyOff(), 1);
    EXPECT_EQ(idle.getPhase(), EnvelopePhase::Idle);
    EXPECT_EQ(idle.getEnvelopeStep(), 0);

    Voice voice;
    voice.writeAdsr2(0x0003);  // release rate 3: -(4 * 4) * 64
    voice.keyOn(1);
    voice.setEnvelopeAccumulatorForTest(0x400000);
    voice.keyOff(1);
    EXPECT_EQ(voice.getPhase(), EnvelopePhase::Release);
    EXPECT_EQ(voice.getEnvelopeStep(), -1024);
    voice.keyOff(0);  // a cleared bit does not undo the release
    EXPECT_EQ(voice.isKeyOff(), 0);
    EXPECT_EQ(voice.getPhase(), EnvelopePhase::Release);
    voice.stepEnvelope();
    EXPECT_EQ(voice.getEnvelopeAccumulator(), 0x400000 - 1024);
}

TEST(VoiceRegisters, KeyOnDuringReleaseRestartsFromThePresentLevel) {
    Voice voice;
    voice.writeStartAddress(0x80);
    voice.writeAdsr1(0x7F00);  // attack rate 127: step 260
    voice.keyOn(1);
    voice.setBlockAddressForTest(0x90);
    voice.keyOff(1);
    voice.writeEnvelopeLevel(0x4000);
    voice.keyOn(1);
    EXPECT_EQ(voice.getPhase(), EnvelopePhase::Attack);
    EXPECT_EQ(voice.getBlockAddress(), 0x80);
    voice.stepEnvelope();
    EXPECT_EQ(voice.getEnvelopeAccumulator(), 0x400000 + 260);
}

TEST(VoiceRegisters, Adsr1WriteRecomputesTheStepForThePhase) {
    Voice voice;
    voice.writeAdsr1(0x0100);  // attack rate 1 while idle: no step
    EXPECT_EQ(voice.getEnvelopeStep(), 0);
    EXPECT_EQ(voice.getPhase(), EnvelopePhase::Idle);
    voice.keyOn(1);
    EXPECT_EQ(voice.getEnvelopeStep(), 2796202);
    voice.writeAdsr1(0x7F00);
    EXPECT_EQ(voice.getEnvelopeStep(), 260);
}

}  // namespace
