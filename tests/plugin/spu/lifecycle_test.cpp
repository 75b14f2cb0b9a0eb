// SPUinit to SPUshutdown and SPUopen/SPUclose, including the calls out of the host's order and
// the DirectSound failures at each step of opening.
#include "spu_test_support.h"

namespace {

using LifecycleTest = SpuPluginTest;

TEST_F(LifecycleTest, EntryPointsBeforeInitAndAfterShutdownDoNothing) {
    for (int round = 0; round < 2; ++round) {
        // round 0: never initialised; round 1: initialised, written, shut down.
        write(0xC04, 0x1234);
        EXPECT_EQ(read(0xC04), 0);
        EXPECT_EQ(read(0xDA6), 0);  // not even the 0xFFFF of a fresh core
        spu.SPUwriteDMA(0x5555);
        EXPECT_EQ(spu.SPUreadDMA(), 0);
        uint16_t words[3] = {0xAAAA, 0xBBBB, 0xCCCC};
        spu.SPUwriteDMAMem(words, 3);
        spu.SPUreadDMAMem(words, 3);
        EXPECT_EQ(words[0], 0xAAAA);  // untouched: nothing to read from
        feedCdRamp(100, 10);
        auto record = std::make_unique<FreezeRecord>();
        std::memset(record.get(), 0x5A, sizeof(FreezeRecord));
        for (uint32_t mode : {0u, 1u, 2u, 3u}) EXPECT_EQ(spu.SPUfreeze(mode, record.get()), 0);
        EXPECT_EQ(static_cast<uint8_t>(record->name[0]), 0x5A);
        EXPECT_EQ(spu.SPUopen(), 0);
        EXPECT_EQ(spu.SPUclose(), 0);
        EXPECT_EQ(sim::dsoundStats().directSoundCreateCalls, 0);
        EXPECT_TRUE(sim::threadsCreated().empty());

        if (round == 0) {
            spu.SPUinit();
            write(0xC04, 0x1234);
            spu.SPUshutdown();
        }
    }
}

TEST_F(LifecycleTest, InitAfterShutdownStartsFromZeroState) {
    spu.SPUinit();
    write(0xC04, 0x1234);
    write(0xDAA, 0x8000);
    const uint16_t word = 0xBEEF;
    spu.uploadWords(0x2000, &word, 1);
    spu.SPUshutdown();

    spu.SPUinit();
    EXPECT_EQ(read(0xC04), 0);
    EXPECT_EQ(read(0xDAA), 0);
    EXPECT_EQ(read(0xDAE), 0);
    EXPECT_EQ(read(0xDA6), 0xFFFF);  // no transfer address yet
    uint16_t back = 0xFFFF;
    spu.downloadWords(0x2000, &back, 1);
    EXPECT_EQ(back, 0);
}

TEST_F(LifecycleTest, DoubleInitKeepsTheStateAndDoubleShutdownIsHarmless) {
    spu.SPUinit();
    write(0xC04, 0x0ABC);
    EXPECT_EQ(spu.SPUinit(), 0);
    EXPECT_EQ(read(0xC04), 0x0ABC);
    EXPECT_EQ(spu.SPUshutdown(), 0);
    EXPECT_EQ(spu.SPUshutdown(), 0);
    EXPECT_EQ(read(0xC04), 0);
}

TEST_F(LifecycleTest, OpenStartsOneAboveNormalThreadAndCloseEndsIt) {
    spu.SPUinit();
    EXPECT_EQ(spu.SPUopen(), 0);
    auto stats = sim::dsoundStats();
    EXPECT_EQ(stats.directSoundObjectsAlive, 1);
    EXPECT_EQ(stats.buffersAlive, 2);
    EXPECT_EQ(stats.lastCooperativeLevel, 2u);         // DSSCL_PRIORITY
    EXPECT_EQ(stats.lastStreamFlags, 0x18000u);        // GETCURRENTPOSITION2 | GLOBALFOCUS
    EXPECT_EQ(stats.streamBufferBytes, kDefaultBufferBytes);
    EXPECT_TRUE(stats.streamPlaying);
    EXPECT_TRUE(stats.streamLooping);
    EXPECT_EQ(stats.primaryChannels, 2);
    EXPECT_EQ(stats.primarySamplesPerSec, 44100u);
    EXPECT_EQ(stats.primaryBitsPerSample, 16);
    auto threads = sim::threadsCreated();
    ASSERT_EQ(threads.size(), 1u);
    EXPECT_EQ(threads[0].priority, THREAD_PRIORITY_ABOVE_NORMAL);
    EXPECT_TRUE(sim::dsoundWaitForPasses(3));

    EXPECT_EQ(spu.SPUclose(), 0);
    threads = sim::threadsCreated();
    EXPECT_TRUE(threads[0].finished);  // SPUclose returned only after the thread ended
    stats = sim::dsoundStats();
    EXPECT_EQ(stats.directSoundObjectsAlive, 0);
    EXPECT_EQ(stats.buffersAlive, 0);
}

TEST_F(LifecycleTest, SecondOpenAndCloseWithoutOpenAreNoOps) {
    spu.SPUinit();
    EXPECT_EQ(spu.SPUclose(), 0);  // never opened
    spu.SPUopen();
    spu.SPUopen();
    EXPECT_EQ(sim::dsoundStats().directSoundCreateCalls, 1);
    EXPECT_EQ(sim::threadsCreated().size(), 1u);
    spu.SPUclose();
    spu.SPUclose();
    EXPECT_EQ(sim::dsoundStats().directSoundObjectsAlive, 0);
}

TEST_F(LifecycleTest, ReopenGivesFreshThreadAndDeviceAndKeepsTheCore) {
    spu.SPUinit();
    const uint16_t word = 0x7E57;
    spu.uploadWords(0x4000, &word, 1);
    write(0xC02, 0x0123);
    spu.SPUopen();
    spu.SPUclose();
    spu.SPUopen();
    EXPECT_EQ(sim::dsoundStats().directSoundCreateCalls, 2);
    EXPECT_EQ(sim::dsoundStats().directSoundObjectsAlive, 1);
    auto threads = sim::threadsCreated();
    ASSERT_EQ(threads.size(), 2u);
    EXPECT_TRUE(threads[0].finished);
    EXPECT_FALSE(threads[1].finished);
    spu.SPUclose();
    uint16_t back = 0;
    spu.downloadWords(0x4000, &back, 1);
    EXPECT_EQ(back, 0x7E57);
    EXPECT_EQ(read(0xC02), 0x0123);
}

TEST_F(LifecycleTest, ShutdownWhileOpenClosesFirst) {
    spu.SPUinit();
    spu.SPUopen();
    EXPECT_EQ(spu.SPUshutdown(), 0);
    auto threads = sim::threadsCreated();
    ASSERT_EQ(threads.size(), 1u);
    EXPECT_TRUE(threads[0].finished);
    EXPECT_EQ(sim::dsoundStats().directSoundObjectsAlive, 0);
    EXPECT_EQ(sim::dsoundStats().buffersAlive, 0);
}

// Each step of opening the output can fail; every one leaves nothing made and an SPUclose with
// nothing to release. The plug-in is silent then, but the chip runs on the system clock, so
// voices move on and a game waiting for one to end runs on. The next SPUopen works again.
class OpenFailureTest : public SpuPluginTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(OpenFailureTest, ReleasesWhatItMadeAndRunsTheChipOnTheClock) {
    spu.SPUinit();
    // Voice 0 on two silent blocks that loop (flags 6: loop mark, then 3: jump back). Attack rate
    // 0 brings its envelope up within two frames, decay to sustain level 15, held there (sustain
    // rate 127); every pass shows it at 0xC0C.
    const uint16_t blocks[16] = {0x0600, 0, 0, 0, 0, 0, 0, 0, 0x0300, 0, 0, 0, 0, 0, 0, 0};
    spu.uploadWords(0x4000, blocks, 16);
    const uint16_t voice[] = {0x1000, 0x4000 / 8, 0x000F, 0x1FC0};  // pitch, start, ADSR
    for (uint32_t r = 0; r < 4; ++r) write(0xC04 + 2 * r, voice[r]);
    write(0xD88, 0x0001);
    sim::dsoundFailOperation(GetParam(), DSERR_GENERIC);
    EXPECT_EQ(spu.SPUopen(), 0);
    auto stats = sim::dsoundStats();
    EXPECT_EQ(stats.directSoundObjectsAlive, 0);
    EXPECT_EQ(stats.buffersAlive, 0);
    EXPECT_EQ(stats.getCurrentPositionCalls, 0);  // silent: there is no cursor to ask
    for (int wait = 0; wait < 500 && read(0xC0C) == 0; ++wait) Sleep(10);
    EXPECT_NE(read(0xC0C), 0) << "the envelope never moved";

    EXPECT_EQ(spu.SPUclose(), 0);
    EXPECT_TRUE(sim::threadsCreated().back().finished);
    EXPECT_EQ(sim::dsoundStats().directSoundObjectsAlive, 0);

    spu.SPUopen();
    EXPECT_EQ(sim::threadsCreated().size(), 2u);
    EXPECT_EQ(sim::dsoundStats().buffersAlive, 2);
}

INSTANTIATE_TEST_SUITE_P(EachStep, OpenFailureTest,
                         ::testing::Values("DirectSoundCreate", "SetCooperativeLevel",
                                           "CreateSoundBuffer.primary",
                                           "CreateSoundBuffer.stream"));

TEST_F(LifecycleTest, CloseStopsFramesAndShadowRefresh) {
    initAndOpen();
    feedCdRamp(1000, 4000);
    advanceAndSettle(400);
    // Key off of voices 16..23 and beyond: a refreshed entry, which the next pass limits to the
    // 24 voices.
    write(0xD8E, 0xFFFF);
    EXPECT_EQ(read(0xD8E), 0xFFFF);
    settle();
    EXPECT_EQ(read(0xD8E), 0x00FF);

    spu.SPUclose();
    const int passes = sim::dsoundStats().getCurrentPositionCalls;
    write(0xD8E, 0xFFFF);
    Sleep(20);
    EXPECT_EQ(sim::dsoundStats().getCurrentPositionCalls, passes);
    EXPECT_EQ(read(0xD8E), 0xFFFF);

    // The CD ring did not move while closed: the next open goes on with frame 100.
    spu.SPUopen();
    advanceAndSettle(4);
    auto buffer = sim::dsoundStreamBufferContents();
    EXPECT_EQ(sampleAt(buffer, 0), 999 + 100);
}

TEST_F(LifecycleTest, HighResolutionModeOneUsesTheTimerPairOnce) {
    sim::registrySetDword("Software\\Vision Thing\\PSEmu Pro\\SPU\\spuTarn",
                              "HighResolutionMode", 1);
    const int begins = sim::timeBeginPeriodCalls();
    const int ends = sim::timeEndPeriodCalls();
    initAndOpen();
    EXPECT_EQ(sim::timeBeginPeriodCalls(), begins + 1);
    spu.SPUclose();
    EXPECT_EQ(sim::timeBeginPeriodCalls(), begins + 1);
    EXPECT_EQ(sim::timeEndPeriodCalls(), ends + 1);
}

TEST_F(LifecycleTest, HighResolutionModeOtherThanOneLeavesTheTimerAlone) {
    sim::registrySetDword("Software\\Vision Thing\\PSEmu Pro\\SPU\\spuTarn",
                              "HighResolutionMode", 2);
    const int begins = sim::timeBeginPeriodCalls();
    const int ends = sim::timeEndPeriodCalls();
    initAndOpen();
    spu.SPUclose();
    EXPECT_EQ(sim::timeBeginPeriodCalls(), begins);
    EXPECT_EQ(sim::timeEndPeriodCalls(), ends);
}

}  // namespace
