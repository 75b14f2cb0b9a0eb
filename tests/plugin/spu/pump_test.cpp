// The streaming passes on the simulation's manual cursor. A CD audio ramp is the probe: frame k of
// the chip's output is 999 + k on both sides, so the buffer shows exactly which frames a pass
// made and where it put them.
#include "spu_test_support.h"

namespace {

class PumpTest : public SpuPluginTest {
protected:
    void SetUp() override {
        SpuPluginTest::SetUp();
        spu.SPUinit();
        feedCdRamp(1000, 8000);
        spu.SPUopen();
        settle();
    }
    std::vector<uint8_t> buffer() { return sim::dsoundStreamBufferContents(); }
    // Expects frames first..first+count-1 of the ramp at byte offset `at`, both sides.
    void expectFrames(uint32_t at, int first, int count) {
        auto b = buffer();
        for (int i = 0; i < count; ++i) {
            const uint32_t offset = at + static_cast<uint32_t>(i) * 4;
            ASSERT_EQ(sampleAt(b, offset), 999 + first + i) << "left at " << offset;
            ASSERT_EQ(sampleAt(b, offset + 2), 999 + first + i) << "right at " << offset;
        }
    }
};

TEST_F(PumpTest, CursorThatDidNotMoveMakesNoFrame) {
    settle();
    EXPECT_EQ(sim::dsoundStats().lastLockBytes, 0u);
    EXPECT_EQ(sim::dsoundStats().lastLockOffset, 0u);
    for (uint8_t byte : buffer()) ASSERT_EQ(byte, 0);
    // Nothing was consumed either: the first frame made is frame 0.
    advanceAndSettle(8);
    expectFrames(0, 0, 2);
}

TEST_F(PumpTest, EachPassFillsWhatTheCursorPassedInOrder) {
    advanceAndSettle(400);
    expectFrames(0, 0, 100);
    advanceAndSettle(1000);
    expectFrames(400, 100, 250);
    EXPECT_EQ(sampleAt(buffer(), 1400), 0);  // ahead of the cursor: untouched
}

TEST_F(PumpTest, WrappedCursorFillsTheTailThenTheStart) {
    advanceAndSettle(8000);  // writePosition 8000, 2000 frames made
    expectFrames(0, 0, 2000);
    // The cursor wraps to 208: 192 bytes of tail and 208 bytes from the start were played.
    // The first pass fills the tail only and moves writePosition to 0; the next fills the
    // start.
    advanceAndSettle(400);
    settle();
    expectFrames(8000, 2000, 48);
    expectFrames(0, 2048, 52);
    // And on from there, with no frame lost or repeated.
    advanceAndSettle(400);
    expectFrames(208, 2100, 100);
}

TEST_F(PumpTest, LengthNotAMultipleOfFourMakesWholeFramesAndStillAdvancesByAll) {
    advanceAndSettle(6);  // one frame, bytes 4 and 5 stay as they were
    expectFrames(0, 0, 1);
    EXPECT_EQ(sampleAt(buffer(), 4), 0);
    advanceAndSettle(10);  // the next pass starts at byte 6: two frames there
    expectFrames(6, 1, 2);
    advanceAndSettle(4);  // writePosition went on to 16 by the whole 10 bytes
    expectFrames(16, 3, 1);
}

TEST_F(PumpTest, LostBufferFreezesTheChipUntilItIsBack) {
    // A voice in its slowest attack (rate 127: 260 per sample in 24-bit fixed point) over
    // silent sound RAM: its envelope level shows whether the voices advance.
    write(0xC08, 0x7F00);
    write(0xC0A, 0x0000);
    write(0xC04, 0x1000);
    write(0xD88, 0x0001);
    advanceAndSettle(400);
    expectFrames(0, 0, 100);
    const uint16_t level = read(0xC0C);
    EXPECT_EQ(level, 100 * 260 >> 8);

    sim::dsoundSetBufferLost(true);
    settle();  // a pass that locked before the loss finishes its Unlock
    const int unlocks = sim::dsoundStats().unlockCalls;
    advanceAndSettle(400);
    advanceAndSettle(400);
    EXPECT_EQ(read(0xC0C), level);  // neither advanced nor refreshed
    EXPECT_EQ(sim::dsoundStats().unlockCalls, unlocks);
    EXPECT_EQ(sampleAt(buffer(), 400), 0);

    sim::dsoundSetBufferLost(false);
    settle();
    // The first pass after it catches up from where it stopped: frame 100 at byte 400.
    expectFrames(400, 100, 200);
    EXPECT_EQ(read(0xC0C), 300 * 260 >> 8);
}

TEST_F(PumpTest, AnyLockFailureEndsThePassLikeALostBuffer) {
    sim::dsoundFailOperation("Lock", DSERR_INVALIDPARAM, true);
    // The thread passes all the time, locking 0 bytes while the cursor stands: let a pass that
    // had locked before the failure was armed finish its Unlock first.
    settle();
    const int unlocks = sim::dsoundStats().unlockCalls;
    advanceAndSettle(400);
    EXPECT_EQ(sim::dsoundStats().unlockCalls, unlocks);
    EXPECT_EQ(sampleAt(buffer(), 0), 0);
}

TEST_F(PumpTest, GapLongerThanTheBufferMakesOnlyTheProgressModuloItsLength) {
    advanceAndSettle(kDefaultBufferBytes + 400);
    // 2148 frames were played, 100 made: the chip is a buffer length behind the device.
    expectFrames(0, 0, 100);
    advanceAndSettle(40);
    expectFrames(400, 100, 10);
}

}  // namespace
