// The open/close life cycle against Wine's real DirectSound: a fresh device and thread on every
// SPUopen, a core that survives the pair, and calls out of the host's order that must do no harm.
#include <gtest/gtest.h>

#include <cstring>

#include "registry_key.h"
#include "spu_plugin.h"

namespace spu_wine {
namespace {

class SpuLifecycle : public ::testing::Test {
protected:
    void SetUp() override {
        spu = exports();
        ASSERT_NE(spu, nullptr) << "cannot load " << dllPath();
        ASSERT_TRUE(deleteSettingsKey());
        ASSERT_EQ(spu->SPUinit(), 0);
    }
    void TearDown() override {
        if (spu != nullptr) spu->SPUshutdown();
    }
    const SpuExports* spu = nullptr;
};

TEST_F(SpuLifecycle, ReopenStreamsAgainAndKeepsSoundRam) {
    uint16_t words[4] = {0x0102, 0x0304, 0x0506, 0x0708};
    spu->SPUwriteRegister(reg(0xDA6), 0x0400);  // byte 0x2000
    spu->SPUwriteDMAMem(words, 4);

    EXPECT_FALSE(framesMadeWithin(spu, 100)) << "frames before SPUopen";
    for (int round = 0; round < 2; ++round) {
        ASSERT_EQ(spu->SPUopen(hostWindow()), 0);
        EXPECT_TRUE(framesMadeWithin(spu, 3000)) << "no frames in open round " << round;
        ASSERT_EQ(spu->SPUclose(), 0);
        // The thread has ended: the flag written now stays set.
        EXPECT_FALSE(framesMadeWithin(spu, 100)) << "frames after SPUclose in round " << round;
    }
    uint16_t back[4] = {};
    spu->SPUwriteRegister(reg(0xDA6), 0x0400);
    spu->SPUreadDMAMem(back, 4);
    EXPECT_EQ(std::memcmp(back, words, sizeof words), 0) << "sound RAM survives open and close";
}

TEST_F(SpuLifecycle, CallsOutOfTheHostsOrderDoNoHarm) {
    EXPECT_EQ(spu->SPUclose(), 0);  // without SPUopen: nothing to stop or release
    ASSERT_EQ(spu->SPUopen(hostWindow()), 0);
    EXPECT_EQ(spu->SPUopen(hostWindow()), 0);  // a second open keeps the first device
    EXPECT_TRUE(framesMadeWithin(spu, 3000));
    ASSERT_EQ(spu->SPUclose(), 0);
    EXPECT_FALSE(framesMadeWithin(spu, 100)) << "a second streaming thread is still running";
    EXPECT_EQ(spu->SPUclose(), 0);

    // Shutdown while open closes first; a new init and open then work as at the start.
    ASSERT_EQ(spu->SPUopen(hostWindow()), 0);
    EXPECT_TRUE(framesMadeWithin(spu, 3000));
    EXPECT_EQ(spu->SPUshutdown(), 0);
    ASSERT_EQ(spu->SPUinit(), 0);
    ASSERT_EQ(spu->SPUopen(hostWindow()), 0);
    EXPECT_TRUE(framesMadeWithin(spu, 3000));
    EXPECT_EQ(spu->SPUclose(), 0);
}

}  // namespace
}  // namespace spu_wine
