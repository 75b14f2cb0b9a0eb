// Real playback through Wine's DirectSound into the PulseAudio null sink. The wrapper script
// records the sink's monitor while this runs and the SpuRecording test analyses the result.
// On its own this test checks what a host sees while the plug-in plays: the refreshed envelope
// and active registers, the loop mark, and a save state taken in the middle of playback.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "playback_plan.h"
#include "playback_signals.h"
#include "registry_key.h"
#include "spu_plugin.h"

namespace spu_wine {
namespace {

class Stopwatch {
public:
    Stopwatch() {
        QueryPerformanceFrequency(&frequency_);
        QueryPerformanceCounter(&start_);
    }
    double seconds() const {
        LARGE_INTEGER now;
        QueryPerformanceCounter(&now);
        return static_cast<double>(now.QuadPart - start_.QuadPart) /
               static_cast<double>(frequency_.QuadPart);
    }
    void sleepUntil(double t) const {
        while (seconds() < t) Sleep(2);
    }

private:
    LARGE_INTEGER frequency_;
    LARGE_INTEGER start_;
};

uint16_t shadowEntry(const FreezeRecord& r, uint32_t offset) {
    const uint32_t k = (offset - 0xC00) / 2;
    return static_cast<uint16_t>(r.registers[2 * k] | (r.registers[2 * k + 1] << 8));
}

class SpuPlayback : public ::testing::Test {
protected:
    void SetUp() override {
        spu = exports();
        ASSERT_NE(spu, nullptr) << "cannot load " << dllPath();
        // Defaults: an 8 KiB streaming buffer and a 32 KiB CD ring.
        ASSERT_TRUE(deleteSettingsKey());
        ASSERT_EQ(spu->SPUinit(), 0);
    }
    void TearDown() override {
        if (opened) spu->SPUclose();
        if (spu != nullptr) spu->SPUshutdown();
    }

    void uploadVoiceLoop() {
        loop = encodedVoiceLoop();
        ASSERT_EQ(loop.size(), 25u * 16u) << "700 samples are 25 blocks";
        std::vector<uint16_t> words(loop.size() / 2);
        std::memcpy(words.data(), loop.data(), loop.size());
        spu->SPUwriteRegister(reg(0xDA6), plan::kVoiceRamByte / 8);
        spu->SPUwriteDMAMem(words.data(), static_cast<int32_t>(words.size()));
    }

    void setUpVoice0() {
        if (plan::kExactChip) {
            spu->SPUwriteRegister(reg(0xDAA), 0xC001);
            spu->SPUwriteRegister(reg(0xD80), 0x3FFF);
            spu->SPUwriteRegister(reg(0xD82), 0x3FFF);
        }
        spu->SPUwriteRegister(voiceReg(0, 0x0), plan::kVoiceVolumeLeft);
        spu->SPUwriteRegister(voiceReg(0, 0x2), plan::kVoiceVolumeRight);
        spu->SPUwriteRegister(voiceReg(0, 0x4), plan::kVoicePitch);
        spu->SPUwriteRegister(voiceReg(0, 0x6), plan::kVoiceStartAddress);
        spu->SPUwriteRegister(voiceReg(0, 0x8), plan::kVoiceAdsr1);
        spu->SPUwriteRegister(voiceReg(0, 0xA), plan::kVoiceAdsr2);
        spu->SPUwriteRegister(reg(0xD88), 0x0001);  // key on voice 0
    }

    // Checks the save state taken while the voice is held in its sustain.
    void checkFreezeWhilePlaying() {
        std::unique_ptr<FreezeRecord> r(new FreezeRecord);
        std::memset(r.get(), 0x5A, sizeof(FreezeRecord));
        ASSERT_EQ(spu->SPUfreeze(FreezeSave, r.get()), 1);
        EXPECT_EQ(std::memcmp(r->name, "TRELK\0\0\0", 8), 0);
        EXPECT_EQ(r->version, 1u);
        EXPECT_EQ(r->size, 558640u);
        EXPECT_EQ(std::memcmp(r->soundRam + plan::kVoiceRamByte, loop.data(), loop.size()), 0)
            << "the uploaded loop in the save state";
        EXPECT_EQ(r->soundRam[plan::kVoiceRamByte - 1], 0);
        EXPECT_EQ(r->soundRam[plan::kVoiceRamByte + loop.size()], 0);
        EXPECT_EQ(shadowEntry(*r, 0xC00), plan::kVoiceVolumeLeft);
        EXPECT_EQ(shadowEntry(*r, 0xC02), plan::kVoiceVolumeRight);
        EXPECT_EQ(shadowEntry(*r, 0xC04), plan::kVoicePitch);
        EXPECT_EQ(shadowEntry(*r, 0xC06), plan::kVoiceStartAddress);
        EXPECT_EQ(shadowEntry(*r, 0xC08), plan::kVoiceAdsr1);
        EXPECT_EQ(shadowEntry(*r, 0xC0A), plan::kVoiceAdsr2);
        // The refreshed entries as the last pass left them: held level, loop mark, flags.
        EXPECT_EQ(shadowEntry(*r, 0xC0C), plan::kVoiceSustainEnvelope);
        EXPECT_EQ(shadowEntry(*r, 0xC0E), plan::kVoiceStartAddress);
        EXPECT_EQ(shadowEntry(*r, 0xD88), 0x0001);
        EXPECT_EQ(shadowEntry(*r, 0xD9C), 0x0001);
        EXPECT_EQ(shadowEntry(*r, 0xD9E), 0x0000);
        EXPECT_EQ(shadowEntry(*r, 0xC1C), 0) << "voice 1 never sounded";
        bool cdZero = true;
        const auto* cd = reinterpret_cast<const uint8_t*>(&r->cdAudio);
        for (size_t i = 0; i < sizeof(XaDecodeRecord); ++i) cdZero = cdZero && cd[i] == 0;
        EXPECT_TRUE(cdZero) << "a save clears the CD audio area";
    }

    const SpuExports* spu = nullptr;
    bool opened = false;
    std::vector<uint8_t> loop;
};

TEST_F(SpuPlayback, VoiceThenCdAudioWhileOpen) {
    uploadVoiceLoop();
    setUpVoice0();
    // Register writes before SPUopen reach the voice, but nothing sounds yet: no pass has run.
    EXPECT_EQ(spu->SPUreadRegister(voiceReg(0, 0xC)), 0);

    ASSERT_EQ(spu->SPUopen(hostWindow()), 0);
    opened = true;
    // The first pass that makes frames moves the envelope: from then on the SPU runs on the
    // device's clock, and the timeline below counts from there.
    Stopwatch clock;
    while (spu->SPUreadRegister(voiceReg(0, 0xC)) == 0 && clock.seconds() < 3.0) Sleep(1);
    ASSERT_NE(spu->SPUreadRegister(voiceReg(0, 0xC)), 0) << "no streaming pass within 3 s";
    const double t0 = clock.seconds();
    std::printf("[ playback ] first pass %.0f ms after SPUopen\n", t0 * 1000.0);

    clock.sleepUntil(t0 + 1.5);
    EXPECT_EQ(spu->SPUreadRegister(voiceReg(0, 0xC)), plan::kVoiceSustainEnvelope);
    EXPECT_EQ(spu->SPUreadRegister(voiceReg(0, 0xE)), plan::kVoiceStartAddress)
        << "flag 6 on the first block sets the loop mark";
    EXPECT_EQ(spu->SPUreadRegister(reg(0xD9C)) & 0x0001, 0x0001) << "voice 0 active";
    EXPECT_EQ(spu->SPUreadRegister(reg(0xD9C)) & 0xFFFE, 0x0000) << "no other voice active";

    clock.sleepUntil(t0 + 2.0);
    // spuTarnExact's record and 0xD9C (ENDX there) are checked natively (exact_host_test.cpp).
    if (!plan::kExactChip) checkFreezeWhilePlaying();

    clock.sleepUntil(t0 + plan::kVoiceSeconds);
    spu->SPUwriteRegister(reg(0xD8C), 0x0001);  // key off: the release (kVoiceAdsr2) ends in well under 0.2 s
    clock.sleepUntil(t0 + plan::kVoiceSeconds + 0.2);
    if (!plan::kExactChip) {
        EXPECT_EQ(spu->SPUreadRegister(reg(0xD9C)) & 0x0001, 0) << "the release has ended";
    }
    EXPECT_EQ(spu->SPUreadRegister(voiceReg(0, 0xC)), 0);

    // CD audio: set the volumes, then keep about three blocks in the ring. The ring drains at
    // one frame per output frame, which runs at 44100 a second from the first feed on.
    spu->SPUwriteRegister(reg(0xDB0), plan::kCdVolumeLeft);
    spu->SPUwriteRegister(reg(0xDB2), plan::kCdVolumeRight);
    static XaDecodeRecord block;
    fillCdBlock(block);
    const double t1 = t0 + plan::kVoiceSeconds + plan::kGapSeconds;
    clock.sleepUntil(t1);
    int64_t framesFed = 0;
    int blocks = 0;
    while (clock.seconds() < t1 + plan::kCdSeconds) {
        const double drained = (clock.seconds() - t1) * plan::kRate;
        while (framesFed - drained < plan::kCdTargetFrames) {
            spu->SPUplayADPCMchannel(&block);
            framesFed += plan::kCdBlockFrames;
            ++blocks;
        }
        Sleep(5);
    }
    // Let the ring run dry, then close while the device plays silence.
    clock.sleepUntil(t1 + plan::kCdSeconds + 0.4);
    std::printf("[ playback ] fed %d CD blocks of %d frames\n", blocks, plan::kCdBlockFrames);
    EXPECT_EQ(spu->SPUclose(), 0);
    opened = false;
    // After SPUclose no pass runs: a value written to a refreshed register stays.
    if (plan::kExactChip) return;
    spu->SPUwriteRegister(voiceReg(0, 0xC), 0x4321);
    Sleep(50);
    EXPECT_EQ(spu->SPUreadRegister(voiceReg(0, 0xC)), 0x4321);
}

}  // namespace
}  // namespace spu_wine
