// Block decoding and block flags, with blocks built by hand in a test sound RAM.
#include <gtest/gtest.h>

#include "voice.h"
#include "voice_test_support.h"

namespace {

using voicetest::SoundRam;

// A voice bound to `ram`, about to decode the block at `address` with the given history.
Voice at(const SoundRam& ram, uint32_t address, int32_t h1 = 0, int32_t h2 = 0) {
    Voice voice;
    voice.setSoundRam(ram.bytes.data());
    voice.setBlockAddressForTest(static_cast<int32_t>(address));
    voice.setHistoryForTest(h1, h2);
    return voice;
}

TEST(VoiceAdpcm, NibblesLowFirstScaledByShift) {
    SoundRam ram;
    ram.putBlock(0x10, 0x00, 0, {0x71});
    ram.putBlock(0x12, 0x0C, 0, {0x78});
    ram.putBlock(0x14, 0x0F, 0, {0x78});
    Voice voice = at(ram, 0x10);
    voice.decodeBlock();
    EXPECT_EQ(voice.windowSample(1), 4096);
    EXPECT_EQ(voice.windowSample(2), 28672);

    voice.setBlockAddressForTest(0x12);
    voice.decodeBlock();
    EXPECT_EQ(voice.windowSample(1), -8);
    EXPECT_EQ(voice.windowSample(2), 7);

    voice.setBlockAddressForTest(0x14);
    voice.decodeBlock();
    EXPECT_EQ(voice.windowSample(1), -1);
    EXPECT_EQ(voice.windowSample(2), 0);
}

TEST(VoiceAdpcm, PredictorShiftsWithoutRounding) {
    SoundRam ram;
    ram.putBlock(0x10, 0x10, 0);  // filter 1, all raw samples 0
    ram.putBlock(0x20, 0x20, 0);  // filter 2
    Voice up = at(ram, 0x10, 1000);
    up.decodeBlock();
    EXPECT_EQ(up.windowSample(1), 937);  // 60000 >> 6
    Voice down = at(ram, 0x10, -1000);
    down.decodeBlock();
    EXPECT_EQ(down.windowSample(1), -938);  // rounds towards minus infinity
    Voice two = at(ram, 0x20, 2000, 1000);
    two.decodeBlock();
    EXPECT_EQ(two.windowSample(1), 2781);  // (230000 - 52000) >> 6
    EXPECT_EQ(two.getHistory2(), two.windowSample(27));
    EXPECT_EQ(two.getHistory1(), two.windowSample(28));
}

// Filter 3 worked by hand from its pair (98, -55); an encoder round trip shares the table with
// the decoder and could not tell a wrong coefficient.
TEST(VoiceAdpcm, Filter3WeightsBothHistories) {
    SoundRam ram;
    ram.putBlock(0x10, 0x30, 0);  // filter 3, shift 0, raw samples 0
    Voice voice = at(ram, 0x10, 1000, 500);
    voice.decodeBlock();
    EXPECT_EQ(voice.windowSample(1), 1101);  // (98000 - 27500) >> 6 = 70500 >> 6
    // (1101 * 98 - 1000 * 55) >> 6 = (107898 - 55000) >> 6 = 52898 >> 6
    EXPECT_EQ(voice.windowSample(2), 826);
}

TEST(VoiceAdpcm, Filter4ExceedsSixteenBitsUnclamped) {
    SoundRam ram;
    ram.putBlock(0x10, 0x40, 0, {0x77});
    Voice voice = at(ram, 0x10, 32767, 32767);
    voice.decodeBlock();
    // 28672 + ((32767 * 122 - 32767 * 60) >> 6) = 28672 + 31743
    EXPECT_EQ(voice.windowSample(1), 60415);
    // 28672 + ((60415 * 122 - 32767 * 60) >> 6) = 28672 + 84447
    EXPECT_EQ(voice.windowSample(2), 113119);
}

TEST(VoiceAdpcm, FilterNumbersFiveToFifteenDecodeAsFilterZero) {
    for (uint8_t header : {0x50, 0x9C, 0xF0}) {
        SCOPED_TRACE(static_cast<int>(header));
        SoundRam ram;
        ram.putBlock(0x10, header, 0, {0x71});
        Voice voice = at(ram, 0x10, 20000, -20000);
        voice.decodeBlock();
        const int shift = header & 0x0F;
        EXPECT_EQ(voice.windowSample(1), 4096 >> shift);
        EXPECT_EQ(voice.windowSample(2), 28672 >> shift);
        EXPECT_EQ(voice.windowSample(3), 0);
    }
}

TEST(VoiceAdpcm, WindowEntryZeroCarriesThePreviousLastSample) {
    SoundRam ram;
    ram.putBlock(
        0x10, 0x0C, 0,
        {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x50});
    Voice voice = at(ram, 0x10);
    voice.setWindowSampleForTest(28, -77);
    voice.decodeBlock();
    EXPECT_EQ(voice.windowSample(0), -77);
    EXPECT_EQ(voice.windowSample(28), 5);
    voice.decodeBlock();
    EXPECT_EQ(voice.windowSample(0), 5);
}

TEST(VoiceAdpcm, LoopChainSixZeroThreeRepeatsFromTheMark) {
    SoundRam ram;
    ram.putBlock(0x100, 0x00, 6);
    ram.putBlock(0x102, 0x00, 0);
    ram.putBlock(0x104, 0x00, 3);
    Voice voice;
    voicetest::startHeld(voice, ram, 0x100, 0x1000);
    voice.writeAdsr2(0x1FC0 | 0x1F);  // hold, release rate 31 (256 samples)
    const int32_t expected[] = {0x100, 0x102, 0x104};
    for (int block = 0; block < 7; ++block) {
        for (int i = 0; i < 28; ++i) voicetest::render(voice);
        EXPECT_EQ(voice.getBlockAddress(), expected[block % 3]) << block;
    }
    EXPECT_EQ(voice.getRepeatAddress(), 0x100);
    voice.keyOff(1);  // the chain goes on through the release (256 samples)
    for (int block = 7; block < 16; ++block) {
        for (int i = 0; i < 28; ++i) voicetest::render(voice);
        EXPECT_EQ(voice.getBlockAddress(), expected[block % 3]) << block;
    }
    EXPECT_EQ(voice.getPhase(), EnvelopePhase::Release);
    for (int i = 0; i < 4; ++i) voicetest::render(voice);
    EXPECT_EQ(voice.getPhase(), EnvelopePhase::Idle);
}

TEST(VoiceAdpcm, FlagsThatMoveOnOrMark) {
    struct Case {
        uint8_t flags;
        int32_t next;
        int32_t loop;
    };
    for (const Case& c : {Case{0, 0x42, 0x7}, Case{2, 0x42, 0x7}, Case{4, 0x42, 0x7},
                          Case{5, 0x42, 0x7}, Case{6, 0x42, 0x40}, Case{3, 0x7, 0x7}}) {
        SCOPED_TRACE(static_cast<int>(c.flags));
        SoundRam ram;
        ram.putBlock(0x40, 0, c.flags);
        Voice voice = at(ram, 0x40);
        voice.writeRepeatAddress(0x7);
        voice.keyOn(1);
        voice.setBlockAddressForTest(0x40);
        voice.processBlockFlags();
        EXPECT_EQ(voice.getBlockAddress(), c.next);
        EXPECT_EQ(voice.getRepeatAddress(), c.loop);
        EXPECT_EQ(voice.getPhase(), EnvelopePhase::Attack);
    }
}

TEST(VoiceAdpcm, EndFlagsStopTheVoice) {
    struct Case {
        uint8_t flags;
        int32_t next;
    };
    for (const Case& c : {Case{1, 0x42}, Case{7, 0x42}, Case{0x80, 0x40}, Case{0xFF, 0x40}}) {
        SCOPED_TRACE(static_cast<int>(c.flags));
        SoundRam ram;
        // Last sample 28672: the flag step plays it as window entry 0 and must silence it.
        ram.putBlock(0x40, 0x00, c.flags, {0x11, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x70});
        ram.putBlock(0x42, 0x00, 0, {0x33});
        Voice voice;
        voicetest::startHeld(voice, ram, 0x40, 0x1000);
        for (int i = 0; i < 28; ++i) voicetest::render(voice);
        EXPECT_EQ(voice.getPhase(), EnvelopePhase::Sustain);
        // The step that acts on the flag still runs through and adds 0.
        const voicetest::Frame last = voicetest::render(voice);
        EXPECT_EQ(last.left, 0);
        EXPECT_EQ(last.right, 0);
        EXPECT_EQ(voice.getPhase(), EnvelopePhase::Idle);
        EXPECT_EQ(voice.getBlockAddress(), c.next);
        EXPECT_EQ(voice.isActive(), 1);
        // ... and decodes the block the flags left it at, so the history moved on by it.
        EXPECT_EQ(voice.windowSample(0), 28672);
        EXPECT_EQ(voice.windowSample(1), c.next == 0x42 ? 12288 : 4096);
        voicetest::render(voice);
        EXPECT_EQ(voice.isActive(), 0);
        EXPECT_EQ(voice.getPitchCounter(), 0x1000);
    }
}

TEST(VoiceAdpcm, BlockAddressWrapsAtTheEndOfSoundRam) {
    SoundRam ram;
    ram.putBlock(0xFFFE, 0, 6);
    Voice voice = at(ram, 0xFFFE);
    voice.keyOn(1);
    voice.setBlockAddressForTest(0xFFFE);
    voice.processBlockFlags();
    EXPECT_EQ(voice.getBlockAddress(), 0);
    EXPECT_EQ(voice.getRepeatAddress(), 0xFFFE);

    // A block at 0xFFFF ends 8 bytes past sound RAM: its tail is read from byte 0 on.
    ram.putBlock(0xFFFF, 0x0C, 0);
    ram.bytes[0] = 0x21;  // data byte 8: samples 12 and 13
    voice.setBlockAddressForTest(0xFFFF);
    voice.decodeBlock();
    EXPECT_EQ(voice.windowSample(13), 1);
    EXPECT_EQ(voice.windowSample(14), 2);
    voice.processBlockFlags();
    EXPECT_EQ(voice.getBlockAddress(), 1);
}

TEST(VoiceAdpcm, UnboundVoicePlaysSilence) {
    Voice voice;
    voice.writePitch(0x3FFF);
    voice.writeVolumeLeft(0x3FFF);
    voice.keyOn(1);
    for (int i = 0; i < 1000; ++i) {
        const voicetest::Frame frame = voicetest::render(voice);
        ASSERT_EQ(frame.left, 0);
    }
}

}  // namespace
