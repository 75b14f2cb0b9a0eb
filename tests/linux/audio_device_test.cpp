// The shipped Linux plug-in (build/<preset>/linux/libspuTarn.so) on a real audio device: SDL2
// playing into a private PulseAudio null sink whose monitor parec records. One voice loops a
// square wave of two ADPCM blocks, 28 samples at +0x4000 and 28 at -0x4000, at pitch 0x1000:
// one source sample per output frame, so the output repeats every 56 frames (787.5 Hz) and,
// derived by hand through the voice's scaling,
//   volume 0x3FFF: multiplier 0x3FFF; (0x3FFF * +-0x4000) >> 14 = +-0x3FFF
//   ADSR1 0x000F, ADSR2 0x1FC0: attack 0 to full, decay to sustain level 15, held there:
//     envelope (15 * 0xFFFFF - 1) >> 8 = 0xEFFF
//   (+0x3FFF * 0xEFFF) >> 16 = 15358, (-0x3FFF * 0xEFFF) >> 16 = -15359 (arithmetic shift).
// A dropout or a repeated stretch anywhere in the analysed second breaks the 56-frame period.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

// The libraries under SDL (PulseAudio's client among them) keep caches for the process's life,
// which LeakSanitizer would report as leaks of ours.
extern "C" const char* __asan_default_options() { return "detect_leaks=0"; }

namespace {

constexpr uint32_t kSpuBase = 0x1F801000;
constexpr int kPeriodFrames = 56;
constexpr int16_t kExpectedHigh = 15358;
constexpr int16_t kExpectedLow = -15359;

struct LinuxPlugin {
    void* handle = nullptr;
    long (*SPUinit)() = nullptr;
    long (*SPUshutdown)() = nullptr;
    long (*SPUopen)() = nullptr;
    long (*SPUclose)() = nullptr;
    void (*SPUwriteRegister)(uint32_t, uint16_t) = nullptr;
    uint16_t (*SPUreadRegister)(uint32_t) = nullptr;
    void (*SPUwriteDMAMem)(uint16_t*, int32_t) = nullptr;
    void (*SPUreadDMAMem)(uint16_t*, int32_t) = nullptr;

    bool load() {
        // The plug-in's SPUinit writes its settings file: a private one for the test.
        // (PulseAudio's client keeps a directory there too.) Removed at exit.
        static char home[] = "/tmp/spuTarn-audio-test-XXXXXX";
        static const bool made = [] {
            if (mkdtemp(home) == nullptr) std::abort();
            std::atexit([] { std::filesystem::remove_all(home); });
            return true;
        }();
        (void)made;
        setenv("XDG_CONFIG_HOME", home, 1);
        handle = dlopen(SPU_LINUX_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
        if (handle == nullptr) return false;
        bool ok = true;
        auto resolve = [&](auto& slot, const char* name) {
            slot = reinterpret_cast<std::remove_reference_t<decltype(slot)>>(dlsym(handle, name));
            ok = ok && slot != nullptr;
        };
        resolve(SPUinit, "SPUinit");
        resolve(SPUshutdown, "SPUshutdown");
        resolve(SPUopen, "SPUopen");
        resolve(SPUclose, "SPUclose");
        resolve(SPUwriteRegister, "SPUwriteRegister");
        resolve(SPUreadRegister, "SPUreadRegister");
        resolve(SPUwriteDMAMem, "SPUwriteDMAMem");
        resolve(SPUreadDMAMem, "SPUreadDMAMem");
        return ok;
    }
    void write(uint32_t offset, uint16_t value) { SPUwriteRegister(kSpuBase + offset, value); }

    // The square wave at sound RAM 0x1000 and voice 0 set up to loop it; keyed on at once.
    void startSquareWave() {
        std::vector<uint8_t> blocks(32, 0);
        blocks[0] = 0x00;   // shift 0, filter 0
        blocks[1] = 0x06;   // loop mark: the repeat address
        for (int i = 2; i < 16; ++i) blocks[i] = 0x44;  // +4 << 12
        blocks[16] = 0x00;
        blocks[17] = 0x03;  // loop end, repeat
        for (int i = 18; i < 32; ++i) blocks[i] = 0xCC;  // -4 << 12
        write(0xDA6, 0x1000 / 8);
        SPUwriteDMAMem(reinterpret_cast<uint16_t*>(blocks.data()), 16);
        write(0xC00, 0x3FFF);       // fixed volumes
        write(0xC02, 0x3FFF);
        write(0xC04, 0x1000);       // 44100 Hz
        write(0xC06, 0x1000 / 8);   // start address
        write(0xC08, 0x000F);       // attack 0, decay 0, sustain level 15
        write(0xC0A, 0x1FC0);       // sustain rate 127: hold
        write(0xD88, 0x0001);       // key on voice 0
    }
};

// The private server's address, from the file audio-server.sh writes (or PULSE_SERVER as given);
// false when there is none.
bool useAudioServer() {
    const char* file = std::getenv("SPU_AUDIO_SERVER_FILE");
    std::string address;
    if (std::ifstream(file != nullptr ? file : "") >> address)
        setenv("PULSE_SERVER", address.c_str(), 1);
    return std::getenv("PULSE_SERVER") != nullptr;
}

// Records `frames` stereo frames from the null sink's monitor.
std::vector<int16_t> record(size_t frames) {
    // A generous record latency: a recorder that is late on a busy machine must not lose
    // what the sink played.
    std::FILE* parec = popen("parec -d cap.monitor --format=s16le --rate=44100 --channels=2 "
                             "--latency-msec=250", "r");
    std::vector<int16_t> samples(frames * 2);
    if (parec == nullptr) return {};
    const size_t got = std::fread(samples.data(), sizeof(int16_t), samples.size(), parec);
    pclose(parec);  // parec ends on the broken pipe
    samples.resize(got);
    return samples;
}

TEST(AudioDeviceTest, SquareWavePlaysAtItsPitchAndLevelWithoutADropout) {
    if (!useAudioServer()) GTEST_SKIP() << "no private audio server";
    setenv("SDL_AUDIODRIVER", "pulseaudio", 1);  // that server, never another device
    LinuxPlugin spu;
    ASSERT_TRUE(spu.load()) << dlerror();
    spu.SPUinit();
    spu.startSquareWave();
    spu.SPUopen();
    const std::vector<int16_t> samples = record(44100 * 2);
    spu.SPUclose();
    spu.SPUshutdown();
    ASSERT_EQ(samples.size(), 44100u * 2 * 2);

    // Analyse one second from 0.5 s after the tone begins, past the device's start.
    size_t start = 0;
    while (start < samples.size() && samples[start] == 0) start += 2;
    start += 22050 * 2;
    const size_t frames = 44100;
    ASSERT_LE(start + (frames + kPeriodFrames) * 2, samples.size()) << "tone began too late";

    int16_t high = INT16_MIN;
    int16_t low = INT16_MAX;
    size_t breaks = 0;
    size_t rising = 0;
    for (size_t f = 0; f < frames; ++f) {
        const size_t i = start + f * 2;
        for (size_t side = 0; side < 2; ++side) {
            high = std::max(high, samples[i + side]);
            low = std::min(low, samples[i + side]);
            if (samples[i + side] != samples[i + side + kPeriodFrames * 2]) ++breaks;
        }
        if (samples[i] < 0 && samples[i + 2] >= 0) ++rising;
    }
    EXPECT_EQ(high, kExpectedHigh);
    EXPECT_EQ(low, kExpectedLow);
    EXPECT_EQ(breaks, 0u) << "the 56-frame period was broken: dropout or discontinuity";
    for (size_t f = 0; f < frames && breaks != 0; ++f) {
        const size_t i = start + f * 2;
        if (samples[i] != samples[i + kPeriodFrames * 2]) {
            std::printf("first break %zu frames into the analysed second\n", f);
            break;
        }
    }
    // 787.5 periods in one second: 787 or 788 rising edges.
    EXPECT_NEAR(static_cast<double>(rising), 787.5, 1.0);
    std::printf("measured: %zu rising edges in 1 s (expected 787.5 Hz), peaks %d/%d "
                "(expected %d/%d)\n", rising, high, low, kExpectedHigh, kExpectedLow);
}

// Hosts close and reopen the plug-in at every pause. Closing an SDL device drains it (0.5 to 2 s
// with PulseAudio), so the device stays open across a close: its stream to the server is still
// there (one sink input), playing silence, and the next open plays the tone again on it.
TEST(AudioDeviceTest, CloseIsSilentAndKeepsTheDeviceForTheNextOpen) {
    if (!useAudioServer()) GTEST_SKIP() << "no private audio server";
    setenv("SDL_AUDIODRIVER", "pulseaudio", 1);
    LinuxPlugin spu;
    ASSERT_TRUE(spu.load()) << dlerror();
    // From 0.1 s on: what the server still held at the call has played by then.
    const auto peak = [](const std::vector<int16_t>& s) {
        return s.size() > 8820 ? *std::max_element(s.begin() + 8820, s.end()) : int16_t{-1};
    };
    spu.SPUinit();
    spu.startSquareWave();
    spu.SPUopen();
    EXPECT_EQ(peak(record(44100)), kExpectedHigh);
    const auto closing = std::chrono::steady_clock::now();
    spu.SPUclose();
    const std::chrono::duration<double, std::milli> closed =
        std::chrono::steady_clock::now() - closing;
    std::FILE* list = popen("pactl list short sink-inputs | wc -l", "r");
    int inputs = -1;
    if (list != nullptr && std::fscanf(list, "%d", &inputs) == 1) pclose(list);
    EXPECT_EQ(inputs, 1) << "the device was closed";
    EXPECT_EQ(peak(record(22050)), 0) << "sound while closed";
    spu.SPUopen();
    EXPECT_EQ(peak(record(44100)), kExpectedHigh);
    spu.SPUclose();
    spu.SPUshutdown();
    std::printf("measured: SPUclose %.1f ms\n", closed.count());
}

TEST(AudioDeviceTest, WithoutAnAudioServerThePluginStaysSilentAndTheHostRunsOn) {
    // SDL tries only the driver named, and that server does not exist.
    setenv("SDL_AUDIODRIVER", "pulseaudio", 1);
    setenv("PULSE_SERVER", "unix:/nonexistent/spuTarn-test/native", 1);
    LinuxPlugin spu;
    ASSERT_TRUE(spu.load()) << dlerror();
    EXPECT_EQ(spu.SPUinit(), 0);
    EXPECT_EQ(spu.SPUopen(), 0);
    spu.write(0xC04, 0x1234);
    EXPECT_EQ(spu.SPUreadRegister(kSpuBase + 0xC04), 0x1234);
    uint16_t word = 0xBEEF;
    spu.write(0xDA6, 0x100);
    spu.SPUwriteDMAMem(&word, 1);
    word = 0;
    spu.write(0xDA6, 0x100);
    spu.SPUreadDMAMem(&word, 1);
    EXPECT_EQ(word, 0xBEEF);
    EXPECT_EQ(spu.SPUclose(), 0);
    EXPECT_EQ(spu.SPUshutdown(), 0);
}

}  // namespace
