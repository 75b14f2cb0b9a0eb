// What a host sees before and around the sound itself: identity, the do-nothing entry points,
// the message boxes and the registrations.
#include <fstream>

#include "spu_test_support.h"

namespace {

using IdentityTest = SpuPluginTest;

TEST_F(IdentityTest, IdentityWorksInEveryStateAndNamePointerIsStable) {
    const char* first = spu.PSEgetLibName();
    for (int state = 0; state < 3; ++state) {
        EXPECT_EQ(spu.PSEgetLibType(), 4u);
        EXPECT_EQ(spu.PSEgetLibVersion(), 0x00010103u);  // 65795: 1.1.3
        EXPECT_EQ(spu.PSEgetLibName(), first);
        EXPECT_STREQ(spu.PSEgetLibName(), "Tarn's DirectSound Driver");
        EXPECT_EQ(spu.SPUtest(), 0);
        if (state == 0) spu.SPUinit();
        if (state == 1) spu.SPUshutdown();
    }
}

TEST_F(IdentityTest, AboutBoxBeforeInitHasTextCaptionAndStyle) {
    spu.SPUabout();
    auto boxes = sim::messageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].owner, nullptr);
    // On Linux the box goes to standard error and also says where the settings file is.
    EXPECT_EQ(boxes[0].text, "GUWASHI!\n\nSettings: \"" + sim::settingsFilePath() + "\"");
    EXPECT_EQ(boxes[0].caption, "Tarn's DirectSound Driver");
    EXPECT_EQ(boxes[0].type, 0x00042000u);  // OK, topmost, task-modal
}

TEST_F(IdentityTest, ConfigureCreatesTheKeyFirstThenNamesIt) {
    const std::string key = "Software\\Vision Thing\\PSEmu Pro\\SPU\\spuTarn";
    ASSERT_FALSE(sim::registryKeyExists(key));
    EXPECT_EQ(spu.SPUconfigure(), 0);
    EXPECT_TRUE(sim::registryKeyExists(key));
    auto boxes = sim::messageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].owner, nullptr);
    // Three lines, the quoted path of the file that holds the key, no newline at the end; the
    // file exists by then.
    EXPECT_EQ(boxes[0].text, "Edit the settings file.\n\n\"" + sim::settingsFilePath() + "\"");
    EXPECT_TRUE(std::ifstream(sim::settingsFilePath()).good());
    EXPECT_EQ(boxes[0].caption, "Tarn's DirectSound Driver");
    EXPECT_EQ(boxes[0].type, 0x00042000u);
    // Also after init, with the key present: same text, no new writes.
    spu.SPUinit();
    const int writes = sim::registryWriteCount();
    EXPECT_EQ(spu.SPUconfigure(), 0);
    EXPECT_EQ(sim::registryWriteCount(), writes);
    EXPECT_EQ(sim::messageBoxes().size(), 2u);
}

TEST_F(IdentityTest, DoNothingEntryPointsLeaveEveryObservableStateAlone) {
    spu.SPUinit();
    // A recognisable state: registers, sound RAM and the transfer address.
    write(0xC04, 0x1000);
    write(0xD80, 0x3FFF);
    const uint16_t words[4] = {0x1111, 0x2222, 0x3333, 0x4444};
    spu.uploadWords(0x1000, words, 4);
    const uint16_t transfer = read(0xDA6);

    EXPECT_EQ(spu.SPUgetOne(0), 0);
    EXPECT_EQ(spu.SPUgetOne(0xFFFFFFFFu), 0);
    spu.SPUputOne(0x1F801C00, 0xFFFF);
    spu.SPUsetAddr(0, 0x1000);
    spu.SPUsetPitch(0, 0x2000);
    spu.SPUsetVolumeL(0, 0x3FFF);
    spu.SPUsetVolumeR(0, 0x3FFF);
    spu.SPUplaySample(0);
    spu.SPUstartChannels1(0xFFFF);
    spu.SPUstartChannels2(0xFF);
    spu.SPUstopChannels1(0xFFFF);
    spu.SPUstopChannels2(0xFF);
    spu.SPUplaySector();
    spu.SPUregisterCallback(0xDEADBEEF);
    spu.SPUregisterCDDAVolume(0xCAFEF00D);

    EXPECT_EQ(read(0xC04), 0x1000);
    EXPECT_EQ(read(0xD80), 0x3FFF);
    EXPECT_EQ(read(0xD88), 0);  // nothing was keyed on
    EXPECT_EQ(read(0xDA6), transfer);
    uint16_t back[4] = {};
    spu.downloadWords(0x1000, back, 4);
    EXPECT_EQ(std::memcmp(back, words, sizeof(words)), 0);
    EXPECT_TRUE(sim::messageBoxes().empty());
}

// Before SPUinit and after SPUshutdown there is no lock and no core: the do-nothing entry
// points and the two callback registrations reach nothing, and the next SPUinit starts clean.
TEST_F(IdentityTest, DoNothingEntryPointsAndRegistrationsWorkBeforeInitAndAfterShutdown) {
    for (int round = 0; round < 2; ++round) {
        spu.SPUputOne(0x1F801C04, 0x1000);
        spu.SPUplaySample(1);
        spu.SPUplaySector();
        spu.SPUsetPitch(0, 0x2000);
        spu.SPUstartChannels1(0xFFFF);
        spu.SPUstopChannels2(3);
        spu.SPUregisterCallback(0xDEADBEEF);
        spu.SPUregisterCDDAVolume(0xCAFEF00D);
        EXPECT_EQ(spu.SPUgetOne(7), 0);
        EXPECT_EQ(sim::dsoundStats().directSoundCreateCalls, 0);
        EXPECT_TRUE(sim::threadsCreated().empty());
        EXPECT_TRUE(sim::messageBoxes().empty());
        spu.SPUinit();
        EXPECT_EQ(read(0xC04), 0);
        EXPECT_EQ(read(0xD88), 0);
        EXPECT_EQ(read(0xDA6), 0xFFFF);  // a fresh core, untouched by the calls above
        spu.SPUshutdown();
    }
}

}  // namespace
