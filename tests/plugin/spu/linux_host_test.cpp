// The entry points only Linux hosts resolve: SPUasync, which the plug-in ignores, and
// SPUplayCDDAchannel, CD-DA as 44100 Hz 16-bit stereo bytes. The probe is the streaming buffer:
// with both CD volumes at 0x7FFF a frame (l, r) comes out as (l * 0x7FFF) >> 15 on each side,
// that is l - 1 for 0 < l < 32768 and r itself for -32768 < r < 0.
#include <vector>

#include "spu_test_support.h"

namespace {

class LinuxHostTest : public SpuPluginTest {
protected:
    void SetUp() override {
        SpuPluginTest::SetUp();
        spu.SPUinit();
        write(0xDB0, 0x7FFF);
        write(0xDB2, 0x7FFF);
    }
    // Frames first+1, -(first+1), first+2, ... as the host hands them over.
    static std::vector<int16_t> cdFrames(int first, int count) {
        std::vector<int16_t> pcm;
        for (int i = 0; i < count; ++i) {
            pcm.push_back(static_cast<int16_t>(first + i + 1));
            pcm.push_back(static_cast<int16_t>(-(first + i + 1)));
        }
        return pcm;
    }
    // Plays `frames` frames and checks them against CD frames first.. (0: silence from there).
    void expectPlayed(int first, int frames, int silentFrom) {
        spu.SPUopen();
        settle();
        advanceAndSettle(static_cast<uint32_t>(frames) * 4);
        const auto b = sim::dsoundStreamBufferContents();
        for (int i = 0; i < frames; ++i) {
            const bool sounding = i < silentFrom;
            ASSERT_EQ(sampleAt(b, i * 4), sounding ? first + i : 0) << "left of frame " << i;
            ASSERT_EQ(sampleAt(b, i * 4 + 2), sounding ? -(first + i + 1) : 0)
                << "right of frame " << i;
        }
    }
};

TEST_F(LinuxHostTest, CdDaGoesIntoTheRingFrameForFrameAndAsyncChangesNothing) {
    auto pcm = cdFrames(0, 300);
    // Whole frames only: a trailing odd byte (or three) of the host's size is dropped.
    spu.SPUplayCDDAchannel(pcm.data(), 100 * 4 + 3);
    spu.SPUasync(768);
    spu.SPUasync(0xFFFFFFFFu);
    spu.SPUplayCDDAchannel(pcm.data() + 200, 50 * 4);
    // Bad input feeds nothing: no samples, a size of 0, a negative size.
    spu.SPUplayCDDAchannel(nullptr, 400);
    spu.SPUplayCDDAchannel(pcm.data(), 0);
    spu.SPUplayCDDAchannel(pcm.data(), -4);
    // 100 frames, then frames 100..149 of the second call (frames 100.. of `pcm`), then silence.
    expectPlayed(0, 200, 150);
}

TEST_F(LinuxHostTest, CdDaIntoAFullRingKeepsWhatIsHeldAndDropsTheRest) {
    // The smallest ring, 74 KiB, holds 74 * 256 - 1 = 18943 frames; a block of 20000 fills it
    // and loses the rest, and a further block finds it full.
    auto pcm = cdFrames(0, 20000);
    spu.SPUplayCDDAchannel(pcm.data(), 20000 * 4);
    auto more = cdFrames(25000, 10);
    spu.SPUplayCDDAchannel(more.data(), 10 * 4);
    spu.SPUopen();
    settle();
    // Play 18943 + 9 frames in passes of 1000 bytes and look at the end of what was held.
    for (int played = 0; played < 18952 * 4; played += 1000) advanceAndSettle(1000);
    const auto b = sim::dsoundStreamBufferContents();
    const uint32_t size = static_cast<uint32_t>(b.size());
    const uint32_t last = (18942u * 4) % size;  // frame 18942, the last one held
    EXPECT_EQ(sampleAt(b, last), 18942);
    EXPECT_EQ(sampleAt(b, last + 2), -18943);
    EXPECT_EQ(sampleAt(b, (last + 4) % size), 0);  // nothing of either dropped part
}

TEST_F(LinuxHostTest, CdDaBeforeInitAndAfterShutdownIsIgnored) {
    spu.SPUshutdown();
    auto pcm = cdFrames(0, 10);
    spu.SPUplayCDDAchannel(pcm.data(), 40);
    spu.SPUasync(1);
    spu.SPUinit();
    write(0xDB0, 0x7FFF);
    write(0xDB2, 0x7FFF);
    expectPlayed(0, 10, 0);  // the ring of the new core is empty
}

}  // namespace
