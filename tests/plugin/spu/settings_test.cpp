// The registry-backed settings as the plug-in uses them: defaults on first use, hand-edited
// values, and the values it refuses.
#include <fstream>

#include "spu_test_support.h"

namespace {

const std::string kKey = "Software\\Vision Thing\\PSEmu Pro\\SPU\\spuTarn";

using SettingsTest = SpuPluginTest;

DWORD storedDword(const std::string& name, DWORD* type) {
    std::vector<uint8_t> data;
    if (!sim::registryGetValue(kKey, name, type, &data) || data.size() != 4) return 0xFFFFFFFFu;
    DWORD v = 0;
    std::memcpy(&v, data.data(), 4);
    return v;
}

TEST_F(SettingsTest, FirstInitWritesTheThreeDefaultsAsDwordsAndNothingElse) {
    spu.SPUinit();
    ASSERT_TRUE(sim::registryKeyExists(kKey));
    DWORD type = 0;
    EXPECT_EQ(storedDword("SoundBufferSize", &type), 8u);
    EXPECT_EQ(type, REG_DWORD);
    EXPECT_EQ(storedDword("XABufferSize", &type), 32u);
    EXPECT_EQ(type, REG_DWORD);
    EXPECT_EQ(storedDword("HighResolutionMode", &type), 0u);
    EXPECT_EQ(type, REG_DWORD);
    EXPECT_EQ(sim::registryWriteCount(), 3);
    std::vector<uint8_t> data;
    for (const char* name : {"WaveFormatSampleRate", "WaveFormatBytesPerSample",
                             "WaveFormatChannels"}) {
        EXPECT_FALSE(sim::registryGetValue(kKey, name, &type, &data)) << name;
    }
    // A second load, with the key there, writes nothing.
    spu.SPUshutdown();
    spu.SPUinit();
    EXPECT_EQ(sim::registryWriteCount(), 3);
}

// The streaming buffer's size shows what "SoundBufferSize" the plug-in settled on.
uint32_t streamBytesWith(SpuPlugin& spu, const std::vector<uint8_t>* raw, DWORD type) {
    sim::registryReset();
    if (raw != nullptr) sim::registrySetValue(kKey, "SoundBufferSize", type, *raw);
    spu.SPUinit();
    spu.SPUopen();
    const uint32_t bytes = sim::dsoundStats().streamBufferBytes;
    spu.SPUclose();
    spu.SPUshutdown();
    return bytes;
}

std::vector<uint8_t> dwordBytes(uint32_t v) {
    std::vector<uint8_t> b(4);
    std::memcpy(b.data(), &v, 4);
    return b;
}

TEST_F(SettingsTest, SoundBufferSizeInRangeIsUsedOutOfRangeFallsBackToEight) {
    auto one = dwordBytes(1), sixteen = dwordBytes(16), top = dwordBytes(1024);
    EXPECT_EQ(streamBytesWith(spu, &one, REG_DWORD), 1024u);
    EXPECT_EQ(streamBytesWith(spu, &sixteen, REG_DWORD), 16384u);
    EXPECT_EQ(streamBytesWith(spu, &top, REG_DWORD), 1024u * 1024u);
    for (uint32_t bad : {0u, 1025u, 0x80000000u, 0xFFFFFFFFu}) {
        auto raw = dwordBytes(bad);
        EXPECT_EQ(streamBytesWith(spu, &raw, REG_DWORD), kDefaultBufferBytes) << bad;
        // The refused value stays as the user left it.
        DWORD type = 0;
        EXPECT_EQ(storedDword("SoundBufferSize", &type), bad);
    }
}

TEST_F(SettingsTest, ValueMissingOrNotFourBytesFallsBackToTheDefault) {
    EXPECT_EQ(streamBytesWith(spu, nullptr, REG_DWORD), kDefaultBufferBytes);  // new key
    const std::vector<uint8_t> two = {16, 0};
    const std::vector<uint8_t> eight = {16, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(streamBytesWith(spu, &two, REG_BINARY), kDefaultBufferBytes);
    EXPECT_EQ(streamBytesWith(spu, &eight, REG_BINARY), kDefaultBufferBytes);
    // Key present, value missing.
    sim::registryReset();
    sim::registrySetDword(kKey, "XABufferSize", 32);
    spu.SPUinit();
    spu.SPUopen();
    EXPECT_EQ(sim::dsoundStats().streamBufferBytes, kDefaultBufferBytes);
}

// On Linux the user edits the settings file, and the plug-in reads it at its next SPUinit. A
// value that is not a plain number is text, a value of another type: the default.
TEST_F(SettingsTest, HandEditedSettingsFileTakesEffectAtTheNextInit) {
    spu.SPUinit();
    spu.SPUshutdown();
    std::ofstream(sim::settingsFilePath(), std::ios::trunc)
        << "SoundBufferSize=16\nXABufferSize=abc\nHighResolutionMode=1\n";
    spu.SPUinit();
    spu.SPUopen();
    settle();
    EXPECT_EQ(sim::dsoundStats().streamBufferBytes, 16u * 1024u);
    EXPECT_EQ(sim::timeBeginPeriodCalls(), 1);
    spu.SPUclose();
    spu.SPUshutdown();
    std::ofstream(sim::settingsFilePath(), std::ios::trunc) << "SoundBufferSize=sixteen\n";
    spu.SPUinit();
    spu.SPUopen();
    EXPECT_EQ(sim::dsoundStats().streamBufferBytes, kDefaultBufferBytes);
    // The file is the user's: a load with the key present writes nothing back.
    std::ifstream in(sim::settingsFilePath());
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text, "SoundBufferSize=sixteen\n");
}

TEST_F(SettingsTest, WaveFormatInTheRegistryChangesNothing) {
    sim::registrySetDword(kKey, "WaveFormatSampleRate", 22050);
    sim::registrySetDword(kKey, "WaveFormatChannels", 1);
    sim::registrySetDword(kKey, "WaveFormatBytesPerSample", 1);
    spu.SPUinit();
    spu.SPUopen();
    auto stats = sim::dsoundStats();
    EXPECT_EQ(stats.primarySamplesPerSec, 44100u);
    EXPECT_EQ(stats.primaryChannels, 2);
    EXPECT_EQ(stats.primaryBitsPerSample, 16);
}

// The CD ring holds XABufferSize * 512 samples, one frame less than half of that. A block
// longer than the ring shows its size: only that many frames come out.
class XaRingTest : public SpuPluginTest {
protected:
    // Feeds a ramp of 8000 frames and counts how many of them come out, in order.
    int framesHeldWith(uint32_t xaBufferSize) {
        sim::registryReset();
        sim::registrySetDword(kKey, "XABufferSize", xaBufferSize);
        spu.SPUinit();
        feedCdRamp(1000, 8000);
        spu.SPUopen();
        settle();
        int held = 0;
        uint32_t writeAt = 0;
        for (int chunk = 0; chunk < 4; ++chunk) {  // 4 x 2000 frames, each under a buffer length
            advanceAndSettle(2000 * 4);
            auto buffer = sim::dsoundStreamBufferContents();
            for (int i = 0; i < 2000; ++i) {
                const uint32_t at = (writeAt + static_cast<uint32_t>(i) * 4) % kDefaultBufferBytes;
                const int16_t v = sampleAt(buffer, at);
                if (v == 999 + held) ++held;
            }
            writeAt = (writeAt + 8000) % kDefaultBufferBytes;
        }
        spu.SPUclose();
        spu.SPUshutdown();
        return held;
    }
};

TEST_F(XaRingTest, RingSizeComesFromTheSettingsAtInit) {
    EXPECT_EQ(framesHeldWith(1), 255);     // 512 samples: 256 frames, one kept free
    EXPECT_EQ(framesHeldWith(8), 2047);    // 4096 samples
    EXPECT_EQ(framesHeldWith(0), 8000);    // refused: default 32 KiB holds all 8000 fed
    EXPECT_EQ(framesHeldWith(2000), 8000);
}

}  // namespace
