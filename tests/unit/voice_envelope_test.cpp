// The ADSR envelope: steps per rate, phase changes and their thresholds.
#include <gtest/gtest.h>

#include "voice.h"

namespace {

Voice inPhase(EnvelopePhase phase, uint32_t adsr1, uint32_t adsr2, int32_t accumulator) {
    Voice voice;
    voice.setPhaseForTest(phase);
    voice.writeAdsr1(adsr1);
    voice.writeAdsr2(adsr2);  // both writes recompute the step for the phase
    voice.setEnvelopeAccumulatorForTest(accumulator);
    return voice;
}

void stepTimes(Voice& voice, int count) {
    for (int i = 0; i < count; ++i) voice.stepEnvelope();
}

TEST(VoiceEnvelope, StepPerPhaseAndRate) {
    struct Case {
        EnvelopePhase phase;
        uint32_t adsr1;
        uint32_t adsr2;
        int32_t step;
    };
    const Case cases[] = {
        {EnvelopePhase::Attack, 0x0000, 0, 8388608},
        {EnvelopePhase::Attack, 0x0100, 0, 2796202},
        {EnvelopePhase::Attack, 0x7F00, 0, 260},
        {EnvelopePhase::Decay, 0x0000, 0, -4095},
        {EnvelopePhase::Decay, 0x00F0, 0, -255},
        {EnvelopePhase::Sustain, 0, 0x0000, 16777215},
        {EnvelopePhase::Sustain, 0, 0x4000, -16777215},
        {EnvelopePhase::Sustain, 0, 0x1F80, 32},  // rate 126
        {EnvelopePhase::Sustain, 0, 0x5F80, -32},
        {EnvelopePhase::Sustain, 0, 0x5FC0, 0},  // rate 127 holds either way
        {EnvelopePhase::Release, 0, 0x0000, -64},
        {EnvelopePhase::Release, 0, 0x001F, -65536},
        {EnvelopePhase::Idle, 0x7FFF, 0x1FFF, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << static_cast<int>(c.phase) << " " << c.adsr1 << " " << c.adsr2);
        EXPECT_EQ(inPhase(c.phase, c.adsr1, c.adsr2, 0).getEnvelopeStep(), c.step);
    }
}

TEST(VoiceEnvelope, AttackRateZeroReachesFullInTwoSamples) {
    Voice voice;
    voice.keyOn(1);
    voice.stepEnvelope();
    EXPECT_EQ(voice.getEnvelopeAccumulator(), 0x800000);
    EXPECT_EQ(voice.getEnvelopeLevel(), 0x8000);
    EXPECT_EQ(voice.getPhase(), EnvelopePhase::Attack);
    voice.stepEnvelope();
    EXPECT_EQ(voice.getEnvelopeAccumulator(), 0xFFFFFF);
    EXPECT_EQ(voice.getPhase(), EnvelopePhase::Decay);
    EXPECT_EQ(voice.getEnvelopeStep(), -4095);
}

TEST(VoiceEnvelope, AttackFromAWrittenNearFullLevelEndsAtOnce) {
    Voice voice;
    voice.writeAdsr1(0x7F00);  // slowest attack, step 260
    voice.keyOn(1);
    voice.writeEnvelopeLevel(0xFFFF);
    voice.stepEnvelope();
    EXPECT_EQ(voice.getEnvelopeAccumulator(), 0xFFFFFF);
    EXPECT_EQ(voice.getPhase(), EnvelopePhase::Decay);
}

TEST(VoiceEnvelope, DecayToSustainLevelZeroPassesThroughMinusOne) {
    Voice voice = inPhase(EnvelopePhase::Decay, 0x0000, 0x1FC0, 0xFFFFFF);
    stepTimes(voice, 4097);  // 4097 * 4095 = 0xFFFFFF
    EXPECT_EQ(voice.getEnvelopeAccumulator(), 0);
    EXPECT_EQ(voice.getPhase(), EnvelopePhase::Decay);
    voice.stepEnvelope();
    EXPECT_EQ(voice.getEnvelopeAccumulator(), -1);
    EXPECT_EQ(voice.getSignedEnvelopeLevel(), -1);
    EXPECT_EQ(voice.getPhase(), EnvelopePhase::Sustain);
    voice.stepEnvelope();  // sustain rate 127 at -1: the voice ends
    EXPECT_EQ(voice.getPhase(), EnvelopePhase::Idle);
    EXPECT_EQ(voice.getEnvelopeAccumulator(), 0);
}

TEST(VoiceEnvelope, RisingSustainClimbsFromMinusOneAndStopsAtFull) {
    Voice voice = inPhase(EnvelopePhase::Sustain, 0, 0x1F80, -1);  // +32 per sample
    voice.stepEnvelope();
    EXPECT_EQ(voice.getEnvelopeAccumulator(), 31);
    voice.setEnvelopeAccumulatorForTest(0xFFFFF0);
    voice.stepEnvelope();
    EXPECT_EQ(voice.getEnvelopeAccumulator(), 0xFFFFFF);
    EXPECT_EQ(voice.getPhase(), EnvelopePhase::Sustain);
}

// Every end of a phase is reached when the accumulator lands exactly on its limit, not only
// when it passes it.
TEST(VoiceEnvelope, PhasesEndWhenTheAccumulatorLandsExactlyOnTheLimit) {
    struct Case {
        const char* what;
        EnvelopePhase phase;
        uint32_t adsr1;
        uint32_t adsr2;
        int32_t accumulator;  // one step before the limit
        int32_t landsOn;
        EnvelopePhase next;
    };
    const Case cases[] = {
        // Attack rate 127 steps 260: 0xFFFEFB + 260 = 0xFFFFFF.
        {"attack", EnvelopePhase::Attack, 0x7F00, 0, 0xFFFFFF - 260, 0xFFFFFF,
         EnvelopePhase::Decay},
        // Decay rate 0 steps -4095; sustain level 8 gives 8 * 0xFFFFF - 1 = 0x7FFFF7.
        {"decay", EnvelopePhase::Decay, 0x0008, 0, 0x7FFFF7 + 4095, 0x7FFFF7,
         EnvelopePhase::Sustain},
        // Falling sustain rate 126 steps -32.
        {"sustain", EnvelopePhase::Sustain, 0, 0x5F80, 32, 0, EnvelopePhase::Idle},
        // Release rate 0 steps -64.
        {"release", EnvelopePhase::Release, 0, 0x0000, 64, 0, EnvelopePhase::Idle},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Voice voice = inPhase(c.phase, c.adsr1, c.adsr2, c.accumulator);
        voice.stepEnvelope();
        EXPECT_EQ(voice.getEnvelopeAccumulator(), c.landsOn);
        EXPECT_EQ(voice.getPhase(), c.next);
    }
}

TEST(VoiceEnvelope, SustainThresholds) {
    struct Case {
        uint32_t level;
        int32_t threshold;
    };
    for (const Case& c : {Case{15, 0xEFFFF0}, Case{8, 0x7FFFF7}, Case{1, 0xFFFFE}, Case{0, -1}}) {
        SCOPED_TRACE(c.level);
        Voice voice = inPhase(EnvelopePhase::Decay, c.level, 0, c.threshold + 4096);
        voice.stepEnvelope();  // T + 1: still above
        EXPECT_EQ(voice.getPhase(), EnvelopePhase::Decay);
        voice.stepEnvelope();  // T - 4094: held at T
        EXPECT_EQ(voice.getEnvelopeAccumulator(), c.threshold);
        EXPECT_EQ(voice.getPhase(), EnvelopePhase::Sustain);
    }
}

TEST(VoiceEnvelope, RaisingTheSustainLevelDuringDecayJumpsUp) {
    Voice voice = inPhase(EnvelopePhase::Decay, 0x0000, 0, 0x400000);
    voice.writeAdsr1(0x0008);  // sustain level 8: threshold 0x7FFFF7, above the level
    voice.stepEnvelope();
    EXPECT_EQ(voice.getEnvelopeAccumulator(), 0x7FFFF7);
    EXPECT_EQ(voice.getPhase(), EnvelopePhase::Sustain);
}

TEST(VoiceEnvelope, SustainRate127Holds) {
    Voice voice = inPhase(EnvelopePhase::Sustain, 0x000F, 0x1FC0, 0xEFFFF0);
    stepTimes(voice, 100000);
    EXPECT_EQ(voice.getEnvelopeAccumulator(), 0xEFFFF0);
    EXPECT_EQ(voice.getPhase(), EnvelopePhase::Sustain);
}

TEST(VoiceEnvelope, FallingSustainEndsTheVoice) {
    Voice voice = inPhase(EnvelopePhase::Sustain, 0, 0x4000, 0x100);
    voice.stepEnvelope();
    EXPECT_EQ(voice.getPhase(), EnvelopePhase::Idle);
    EXPECT_EQ(voice.getEnvelopeAccumulator(), 0);
}

TEST(VoiceEnvelope, Adsr2WriteDuringReleaseAppliesFromTheNextSample) {
    Voice voice = inPhase(EnvelopePhase::Release, 0, 0x0000, 0x800000);  // step -64
    voice.stepEnvelope();
    EXPECT_EQ(voice.getEnvelopeAccumulator(), 0x800000 - 64);
    voice.writeAdsr2(0x0001);  // release rate 1: -(2 * 2) * 64
    EXPECT_EQ(voice.getEnvelopeStep(), -256);
    voice.stepEnvelope();
    EXPECT_EQ(voice.getEnvelopeAccumulator(), 0x800000 - 64 - 256);
    EXPECT_EQ(voice.getPhase(), EnvelopePhase::Release);
}

TEST(VoiceEnvelope, ReleaseLengths) {
    struct Case {
        uint32_t adsr2;
        int samples;
    };
    for (const Case& c : {Case{0x001F, 256}, Case{0x0000, 262144}}) {
        SCOPED_TRACE(c.adsr2);
        Voice voice = inPhase(EnvelopePhase::Release, 0, c.adsr2, 0xFFFFFF);
        stepTimes(voice, c.samples - 1);
        EXPECT_EQ(voice.getPhase(), EnvelopePhase::Release);
        EXPECT_GT(voice.getEnvelopeAccumulator(), 0);
        voice.stepEnvelope();
        EXPECT_EQ(voice.getPhase(), EnvelopePhase::Idle);
        EXPECT_EQ(voice.getEnvelopeLevel(), 0);
    }
}

}  // namespace
