// The plug-in's settings in Wine's real registry: what the first SPUinit writes, that hand edits
// are never overwritten, and that unusable buffer sizes fall back to the defaults at run time
// while the registry keeps what the user wrote.
#include <gtest/gtest.h>
#include <io.h>

#include <cstdio>
#include <string>
#include <tuple>

#include "message_box_watcher.h"
#include "registry_key.h"
#include "spu_plugin.h"

namespace spu_wine {
namespace {

class SpuRegistry : public ::testing::Test {
protected:
    void SetUp() override {
        spu = exports();
        ASSERT_NE(spu, nullptr) << "cannot load " << dllPath();
        ASSERT_TRUE(deleteSettingsKey());
    }
    // Later tests in this process, and the playback run, expect the defaults.
    void TearDown() override { deleteSettingsKey(); }

    static void expectDword(const char* name, uint32_t value) {
        DwordValue v = readSettingsValue(name);
        EXPECT_TRUE(v.present) << name;
        EXPECT_EQ(v.type, static_cast<DWORD>(REG_DWORD)) << name;
        EXPECT_EQ(v.size, 4u) << name;
        EXPECT_EQ(v.value, value) << name;
    }

    const SpuExports* spu = nullptr;
};

TEST_F(SpuRegistry, FirstInitCreatesTheKeyWithThreeDwords) {
    ASSERT_EQ(spu->SPUinit(), 0);
    ASSERT_TRUE(settingsKeyExists());
    expectDword("SoundBufferSize", 8);
    expectDword("XABufferSize", 32);
    expectDword("HighResolutionMode", 0);
    // The wave format is fixed in the plug-in; its value names never reach the registry.
    EXPECT_FALSE(readSettingsValue("WaveFormatSampleRate").present);
    EXPECT_FALSE(readSettingsValue("WaveFormatBytesPerSample").present);
    EXPECT_FALSE(readSettingsValue("WaveFormatChannels").present);
    EXPECT_EQ(countSettingsValues(), 3);
    EXPECT_EQ(spu->SPUshutdown(), 0);
}

TEST_F(SpuRegistry, HandEditsSurviveLaterInitAndConfigure) {
    ASSERT_EQ(spu->SPUinit(), 0);
    ASSERT_EQ(spu->SPUshutdown(), 0);
    ASSERT_TRUE(writeSettingsDword("SoundBufferSize", 16));
    ASSERT_TRUE(writeSettingsDword("HighResolutionMode", 1));

    ASSERT_EQ(spu->SPUinit(), 0);
    ASSERT_EQ(spu->SPUshutdown(), 0);
    expectDword("SoundBufferSize", 16);

    MessageBoxWatcher watcher("Tarn's DirectSound Driver");
    EXPECT_EQ(spu->SPUconfigure(), 0);
    watcher.join();
    EXPECT_TRUE(watcher.found());
    expectDword("SoundBufferSize", 16);
    expectDword("XABufferSize", 32);
    expectDword("HighResolutionMode", 1);
    EXPECT_EQ(countSettingsValues(), 3);
}

TEST_F(SpuRegistry, ZeroBufferSizesPlayWithTheDefaultsAndStayAsWritten) {
    // A streaming buffer of 0 bytes cannot be created and a CD ring of 0 cannot hold a frame:
    // the plug-in uses its defaults instead and leaves the user's values alone.
    ASSERT_EQ(spu->SPUinit(), 0);
    ASSERT_EQ(spu->SPUshutdown(), 0);
    ASSERT_TRUE(writeSettingsDword("SoundBufferSize", 0));
    ASSERT_TRUE(writeSettingsDword("XABufferSize", 0));

    ASSERT_EQ(spu->SPUinit(), 0);
    ASSERT_EQ(spu->SPUopen(hostWindow()), 0);
    EXPECT_TRUE(framesMadeWithin(spu, 3000)) << "no frames were made with SoundBufferSize 0";
    // That the CD ring falls back to 32 KiB is checked natively (XaRingTest), where the
    // streaming buffer's contents can be read; here nothing would show what a block did.
    EXPECT_EQ(spu->SPUclose(), 0);
    EXPECT_EQ(spu->SPUshutdown(), 0);
    expectDword("SoundBufferSize", 0);
    expectDword("XABufferSize", 0);
}

// The plug-in's lines on standard error while `call` runs: fd 2 goes to a file meanwhile. The
// DLL and this harness share the one C runtime of the process, and so its stderr.
template <typename Call>
std::string standardErrorOf(Call call) {
    std::FILE* file = std::tmpfile();
    std::fflush(stderr);
    const int saved = _dup(2);
    _dup2(_fileno(file), 2);
    call();
    std::fflush(stderr);
    _dup2(saved, 2);
    _close(saved);
    std::string text(4096, '\0');
    std::rewind(file);
    text.resize(std::fread(&text[0], 1, text.size(), file));
    std::fclose(file);
    return text;
}

// Only a 4-byte REG_DWORD is taken. Anything else, the same four bytes as REG_BINARY included,
// gives the default, and the plug-in names the value it ignored on standard error; a REG_DWORD
// is taken without a word. (Natively the key lives in a file that keeps only numbers and text,
// so this rule can only be seen here.)
TEST_F(SpuRegistry, OnlyAFourByteDwordIsTakenAndAnythingElseIsReported) {
    ASSERT_EQ(spu->SPUinit(), 0);
    ASSERT_EQ(spu->SPUshutdown(), 0);
    const BYTE sixteen[8] = {16}, text[3] = {'1', '6', 0};
    // Type, length, ignored.
    const std::tuple<DWORD, DWORD, bool> cases[] = {{REG_DWORD, 4, false},
                                                    {REG_BINARY, 4, true},
                                                    {REG_DWORD, 2, true},
                                                    {REG_DWORD, 8, true},
                                                    {REG_SZ, 3, true}};
    for (const auto& [type, size, ignored] : cases) {
        ASSERT_TRUE(
            writeSettingsValue("SoundBufferSize", type, type == REG_SZ ? text : sixteen, size));
        const std::string said = standardErrorOf([this] {
            spu->SPUinit();
            spu->SPUshutdown();
        });
        EXPECT_EQ(said.find("\"SoundBufferSize\" ignored") != std::string::npos, ignored)
            << "type " << type << ", " << size << " bytes: " << said;
    }
}

}  // namespace
}  // namespace spu_wine
