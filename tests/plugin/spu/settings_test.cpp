// The registry-backed settings as the plug-in uses them: defaults on first use, hand-edited
// values, and the values it refuses.
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
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

// The streaming buffer's size shows what "SoundBufferSize" the plug-in settled on. Values are
// raw registry contents (type, bytes); a null pointer leaves the value out.
struct RawValue {
    DWORD type;
    std::vector<uint8_t> bytes;
};

std::vector<uint8_t> dwordBytes(uint32_t v) {
    std::vector<uint8_t> b(4);
    std::memcpy(b.data(), &v, 4);
    return b;
}

RawValue dword(uint32_t v) { return {REG_DWORD, dwordBytes(v)}; }

// `reset` false keeps the settings as they are (the settings file's, say).
uint32_t streamBytesWith(SpuPlugin& spu, const RawValue* size, const RawValue* highResolution,
                         bool reset = true) {
    if (reset) sim::registryReset();
    if (size != nullptr) sim::registrySetValue(kKey, "SoundBufferSize", size->type, size->bytes);
    if (highResolution != nullptr) {
        sim::registrySetValue(kKey, "HighResolutionMode", highResolution->type,
                                  highResolution->bytes);
    }
    spu.SPUinit();
    spu.SPUopen();
    const uint32_t bytes = sim::dsoundStats().streamBufferBytes;
    spu.SPUclose();
    spu.SPUshutdown();
    return bytes;
}

TEST_F(SettingsTest, SoundBufferSizeHasAFloorAndOutOfRangeFallsBackToEight) {
    const RawValue highRes = dword(1), otherRes = dword(2);
    const RawValue one = dword(1), two = dword(2), three = dword(3), seven = dword(7),
                   sixteen = dword(16), top = dword(1024);
    // The floor: 8 KiB at the default timer resolution, 2 KiB with the 1 ms resolution.
    EXPECT_EQ(streamBytesWith(spu, &one, nullptr), 8192u);
    EXPECT_EQ(streamBytesWith(spu, &seven, nullptr), 8192u);
    EXPECT_EQ(streamBytesWith(spu, &two, &otherRes), 8192u);
    EXPECT_EQ(streamBytesWith(spu, &one, &highRes), 2048u);
    EXPECT_EQ(streamBytesWith(spu, &three, &highRes), 3072u);
    EXPECT_EQ(streamBytesWith(spu, &sixteen, nullptr), 16384u);
    EXPECT_EQ(streamBytesWith(spu, &top, nullptr), 1024u * 1024u);
    for (uint32_t bad : {0u, 1025u, 0x80000000u, 0xFFFFFFFFu}) {
        const RawValue raw = dword(bad);
        EXPECT_EQ(streamBytesWith(spu, &raw, &highRes), kDefaultBufferBytes) << bad;
        // Neither a refused value nor one raised to the floor is written back.
        DWORD type = 0;
        EXPECT_EQ(storedDword("SoundBufferSize", &type), bad);
    }
    EXPECT_EQ(streamBytesWith(spu, &one, nullptr), 8192u);
    DWORD type = 0;
    EXPECT_EQ(storedDword("SoundBufferSize", &type), 1u);
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

// Standard error while `call` runs.
template <typename Call>
std::string stderrOf(Call call) {
    testing::internal::CaptureStderr();
    call();
    return testing::internal::GetCapturedStderr();
}

// The settings file's path, its directory made.
std::string settingsFileInPlace() {
    const std::string file = sim::settingsFilePath();
    std::filesystem::create_directories(file.substr(0, file.rfind('/')));
    return file;
}

// A missing value gives its default without a word, in a new key or beside other values. What
// the plug-in cannot use in the settings file gives that value's default and one line on
// standard error naming it and why; a byte-order mark, as some editors write, is no part of the
// first name. The file keeps numbers as REG_DWORD and anything else as text, so values of other
// types or lengths are tested under Wine (tests/win32/spu/registry_test.cpp). Each case: the
// file's text, the streaming buffer then used, what the line says (empty: no line at all).
TEST_F(SettingsTest, MissingOrUnusableValueGivesTheDefaultAndUnusableOnesOneLineSayingWhy) {
    EXPECT_EQ(streamBytesWith(spu, nullptr, nullptr), kDefaultBufferBytes);  // new key
    const struct {
        const char* text;
        uint32_t bytes;
        const char* said;
    } cases[] = {
        {"XABufferSize=32\n", 8192, ""},
        {"\xEF\xBB\xBFSoundBufferSize=16\n", 16384, ""},
        {"SoundBufferSize=16k\n", 8192, "\"SoundBufferSize\" ignored: \"16k\" is not a whole"},
        // "HighResolutionMode" 1 lowers the floor to 2 KiB, but only as a number.
        {"SoundBufferSize=2\nHighResolutionMode=one\n", 8192,
         "\"HighResolutionMode\" ignored: \"one\""},
        {"SoundBufferSize=16 # comment\n", 8192, "\"SoundBufferSize\" ignored: \"16 # comment\""},
        {"SoundBufferSize=+16\n", 8192, "\"SoundBufferSize\" ignored: \"+16\" is not a whole"},
        {"SoundBufferSize=2000\n", 8192, "\"SoundBufferSize\" ignored: 2000 is outside 1..1024"},
        {"XABufferSize=0\n", 8192, "\"XABufferSize\" ignored: 0 is outside 1..1024"},
        {"SoundBufferSize 16\n", 8192, "line 1 ignored: not Name=value"},
    };
    for (const auto& c : cases) {
        sim::registryReset();
        std::ofstream(settingsFileInPlace(), std::ios::trunc) << c.text;
        uint32_t bytes = 0;
        const std::string said =
            stderrOf([&] { bytes = streamBytesWith(spu, nullptr, nullptr, false); });
        EXPECT_EQ(bytes, c.bytes) << c.text;
        EXPECT_TRUE(c.said[0] == '\0' ? said.empty() : said.find(c.said) != std::string::npos)
            << said;
        EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), c.said[0] == '\0' ? 0 : 1) << said;
    }
}

// Only a regular file is read: a FIFO in its place would block the host's SPUinit for ever
// (the alarm turns that into a failure). A dangling link is followed when the file is made, so
// the user's link stays. With no place to create the file, SPUconfigure does not name it as if
// it were there.
TEST_F(SettingsTest, FifoIsNotReadLinkIsKeptAndAFileNotMadeIsNotNamed) {
    const std::string file = settingsFileInPlace();
    ASSERT_EQ(mkfifo(file.c_str(), 0600), 0);
    alarm(20);
    std::string said = stderrOf([&] { spu.SPUinit(); });
    alarm(0);
    EXPECT_NE(said.find("is not a regular file"), std::string::npos) << said;
    spu.SPUshutdown();
    struct stat status {};
    EXPECT_TRUE(stat(file.c_str(), &status) == 0 && S_ISFIFO(status.st_mode));

    sim::registryReset();
    const std::string elsewhere = file.substr(0, file.rfind('/')) + "/kept-elsewhere";
    ASSERT_EQ(symlink("kept-elsewhere", file.c_str()), 0);
    spu.SPUinit();
    spu.SPUshutdown();
    EXPECT_TRUE(lstat(file.c_str(), &status) == 0 && S_ISLNK(status.st_mode));
    std::ifstream in(elsewhere);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("\nSoundBufferSize=8\n"), std::string::npos) << text;
    std::remove(elsewhere.c_str());

    const std::string home = std::getenv("XDG_CONFIG_HOME"), blocked = home + "/blocked";
    std::ofstream(blocked) << "a file where the directory should be";
    setenv("XDG_CONFIG_HOME", blocked.c_str(), 1);
    said = stderrOf([&] { spu.SPUconfigure(); });
    setenv("XDG_CONFIG_HOME", home.c_str(), 1);
    std::remove(blocked.c_str());
    EXPECT_NE(said.find("cannot be created"), std::string::npos) << said;
    ASSERT_FALSE(sim::messageBoxes().empty());
    EXPECT_NE(sim::messageBoxes().back().text.find("could not be created"), std::string::npos);
}

// A key that cannot be opened or values that cannot be read: the defaults, whatever is stored.
TEST_F(SettingsTest, UnopenableKeyOrUnreadableValuesGiveTheDefaults) {
    for (const char* operation : {"RegCreateKeyExA", "RegQueryValueExA"}) {
        sim::registryReset();
        sim::registrySetDword(kKey, "SoundBufferSize", 16);
        sim::registrySetDword(kKey, "XABufferSize", 1);
        sim::registrySetDword(kKey, "HighResolutionMode", 1);
        sim::registryFailOperation(operation, ERROR_ACCESS_DENIED);
        sim::timerReset();
        spu.SPUinit();
        spu.SPUopen();
        ASSERT_TRUE(sim::dsoundWaitForPasses(2));
        EXPECT_EQ(sim::dsoundStats().streamBufferBytes, kDefaultBufferBytes) << operation;
        EXPECT_EQ(sim::timeBeginPeriodCalls(), 0) << operation;
        // A ring of at least the floor holds a whole 2000-frame block.
        feedCdRamp(1000, 2000);
        advanceAndSettle(2000 * 4);
        EXPECT_EQ(sampleAt(sim::dsoundStreamBufferContents(), 1999 * 4), 999 + 1999);
        spu.SPUclose();
        spu.SPUshutdown();
    }
}

// A pass at the default timer resolution comes about every 15.6 ms: 2756 bytes of playback.
// A 1 KiB buffer would wrap between passes and the chip would make 177 frames where the device
// played 689; at the floor every byte played is one frame made.
TEST_F(SettingsTest, SmallStoredBufferStillMakesOneFramePerFourBytesPlayed) {
    sim::registrySetDword(kKey, "SoundBufferSize", 1);
    spu.SPUinit();
    feedCdRamp(1000, 8000);  // frame k comes out as 999 + k
    spu.SPUopen();
    settle();
    const uint32_t bufferBytes = sim::dsoundStats().streamBufferBytes;
    uint32_t played = 0;
    for (int pass = 0; pass < 5; ++pass) {
        advanceAndSettle(2756);
        played += 2756;
        // The frame just behind the cursor is the last one the device played.
        const uint32_t lastFrame = played / 4 - 1;
        const auto buffer = sim::dsoundStreamBufferContents();
        EXPECT_EQ(sampleAt(buffer, (lastFrame * 4) % bufferBytes), 999 + lastFrame) << pass;
    }
}

// Settings are read at SPUinit and SPUconfigure only; the stream size is used at SPUopen.
TEST_F(SettingsTest, ConfigureReloadTakesEffectAtTheNextOpen) {
    sim::registrySetDword(kKey, "SoundBufferSize", 16);
    spu.SPUinit();
    const auto openedBytes = [&] {
        spu.SPUopen();
        const uint32_t bytes = sim::dsoundStats().streamBufferBytes;
        spu.SPUclose();
        return bytes;
    };
    EXPECT_EQ(openedBytes(), 16384u);
    sim::registrySetDword(kKey, "SoundBufferSize", 32);
    EXPECT_EQ(openedBytes(), 16384u);  // edited, not yet reloaded
    EXPECT_EQ(spu.SPUconfigure(), 0);
    EXPECT_EQ(openedBytes(), 32768u);
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

// The CD ring holds XABufferSize * 512 samples, one frame less than half of that, and never
// less than 74 KiB: 74 * 256 - 1 = 18943 frames. Blocks longer than the ring show its size:
// only that many frames come out.
class XaRingTest : public SpuPluginTest {
protected:
    // Feeds `sectors` of the longest XA sector a host sends, 4032 mono samples at 18900 Hz
    // (each held for 44100 / 18900 = 7/3 output frames: 9408 frames a sector), with the stored
    // "XABufferSize" (none: a new key); then counts the frames that come out until the first
    // silent one, 2000 frames (under one streaming buffer length) at a time.
    int framesHeldWith(const RawValue* xaBufferSize, int sectors) {
        sim::registryReset();
        if (xaBufferSize != nullptr)
            sim::registrySetValue(kKey, "XABufferSize", xaBufferSize->type, xaBufferSize->bytes);
        spu.SPUinit();
        write(0xDB0, 0x7FFF);
        write(0xDB2, 0x7FFF);
        auto record = std::make_unique<XaDecodeRecord>();
        *record = XaDecodeRecord{18900, 4, 0, 4032, {}, {}};
        std::fill_n(record->pcm, 4032, int16_t{1000});
        for (int i = 0; i < sectors; ++i) spu.SPUplayADPCMchannel(record.get());
        spu.SPUopen();
        settle();
        int held = 0;
        for (uint32_t chunk = 0; held == static_cast<int>(chunk) * 2000; ++chunk) {
            advanceAndSettle(2000 * 4);
            auto buffer = sim::dsoundStreamBufferContents();
            for (uint32_t i = 0; i < 2000; ++i)
                held += sampleAt(buffer, (chunk * 8000 + i * 4) % kDefaultBufferBytes) != 0;
        }
        spu.SPUclose();
        spu.SPUshutdown();
        return held;
    }
};

TEST_F(XaRingTest, RingSizeComesFromTheSettingsAtInitWithAFloorOfTwoLongestSectors) {
    // The default 32 KiB ring (8191 frames) cut the first sector short and lost the second.
    EXPECT_EQ(framesHeldWith(nullptr, 2), 2 * 9408);
    // Three sectors (28224 frames) fill any ring here: 74 KiB holds 74 * 256 - 1 = 18943.
    const RawValue one = dword(1), eighty = dword(80), outOfRange = dword(2000);
    EXPECT_EQ(framesHeldWith(&one, 3), 18943);              // raised to the floor
    EXPECT_EQ(framesHeldWith(&outOfRange, 3), 18943);       // the default 32, raised likewise
    EXPECT_EQ(framesHeldWith(&eighty, 3), 80 * 256 - 1);
}

}  // namespace
