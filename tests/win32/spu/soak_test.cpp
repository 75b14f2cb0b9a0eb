// The streaming soak: a minute of real playback through Wine's DirectSound while host threads
// work the plug-in as a busy game does: register writes, DMA blocks, data-port words, CD audio
// blocks and save/load, all through the exports. Voice 0 holds a steady tone for the whole
// minute; the wrapper script records it and SpuSoakRecording analyses the recording.
//
// Wine's audio path may insert short silences of its own, so the plug-in is judged by what its
// streaming passes did (spuTarn_probe.dll adds one export that reports it): no pass a buffer
// length or more after the one before, and one frame made for every 4 bytes the play cursor
// moved. What the host threads write must read back unchanged.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "playback_plan.h"
#include "playback_signals.h"
#include "registry_key.h"
#include "soak_plan.h"
#include "spu_plugin.h"
#include "stream_stats.h"

namespace spu_wine {
namespace {

using ProbeStreamStats = int32_t (*)(StreamStats*);

// A small deterministic generator per thread (no shared state between the threads).
class Random {
public:
    explicit Random(uint32_t seed) : state_(seed) {}
    uint32_t next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return state_;
    }
    uint32_t below(uint32_t n) { return next() % n; }

private:
    uint32_t state_;
};

struct HostThreads {
    const SpuExports* spu = nullptr;
    std::atomic<bool> stop{false};
    // What each thread did and what it found wrong.
    std::atomic<uint64_t> registerWrites{0}, dmaWords{0}, portWords{0}, saves{0}, cdBlocks{0};
    std::atomic<uint64_t> mismatches{0};
    char firstMismatch[160] = {};

    void mismatch(const char* what, uint32_t where, uint32_t got, uint32_t expected) {
        if (mismatches.fetch_add(1) == 0)
            std::snprintf(firstMismatch, sizeof firstMismatch, "%s at 0x%X: read 0x%X, wrote 0x%X",
                          what, where, got, expected);
    }
};

// The emulation thread of a host: everything one thread of a real host does, in its order. It
// is the only writer of the voices 2..23 and of the upper half of sound RAM, so every read back
// must return what it wrote, through save and load too.
DWORD WINAPI emulationThread(LPVOID context) {
    auto& h = *static_cast<HostThreads*>(context);
    const SpuExports* spu = h.spu;
    Random random(0x5EED1234u);
    std::unique_ptr<FreezeRecord> record(new FreezeRecord);
    std::vector<uint16_t> block(soak::kDmaMaxWords), readBack(soak::kDmaMaxWords);
    while (!h.stop.load()) {
        // Registers of the silent voices: volumes, pitch, start address and ADSR (the envelope
        // and repeat entries are the chip's own; key on is never written for these voices).
        for (int i = 0; i < 16; ++i) {
            const uint32_t voice = 2 + random.below(22);
            const uint32_t sub = 2 * random.below(6);  // 0x0..0xA
            const uint16_t value = static_cast<uint16_t>(random.next());
            spu->SPUwriteRegister(voiceReg(voice, sub), value);
            const uint16_t got = spu->SPUreadRegister(voiceReg(voice, sub));
            if (got != value) h.mismatch("voice register", voiceReg(voice, sub), got, value);
            ++h.registerWrites;
        }
        // A DMA block into the upper half of sound RAM, read back by DMA.
        const uint32_t words = 1 + random.below(soak::kDmaMaxWords);
        const uint32_t unit = soak::kDmaFirstUnit +
                              random.below(soak::kDmaUnits - (words * 2 + 7) / 8);
        for (uint32_t i = 0; i < words; ++i) block[i] = static_cast<uint16_t>(random.next());
        spu->SPUwriteRegister(reg(0xDA6), static_cast<uint16_t>(unit));
        spu->SPUwriteDMAMem(block.data(), static_cast<int32_t>(words));
        spu->SPUwriteRegister(reg(0xDA6), static_cast<uint16_t>(unit));
        spu->SPUreadDMAMem(readBack.data(), static_cast<int32_t>(words));
        for (uint32_t i = 0; i < words; ++i)
            if (readBack[i] != block[i]) h.mismatch("DMA word", unit * 8 + 2 * i, readBack[i], block[i]);
        h.dmaWords += words;
        // A few words through the data port, then read back the same way.
        spu->SPUwriteRegister(reg(0xDA6), static_cast<uint16_t>(unit));
        for (uint32_t i = 0; i < 8; ++i) spu->SPUwriteDMA(static_cast<uint16_t>(0xA500 + i));
        spu->SPUwriteRegister(reg(0xDA6), static_cast<uint16_t>(unit));
        for (uint32_t i = 0; i < 8; ++i) {
            const uint16_t got = spu->SPUreadDMA();
            if (got != 0xA500 + i) h.mismatch("data port word", unit * 8 + 2 * i, got, 0xA500 + i);
        }
        h.portWords += 8;
        // Now and then a save state, and at once a load of it, as a host's quick save and
        // quick load: the saved image holds the words just written, and after the load they
        // still read back.
        if (random.below(soak::kSaveOneIn) == 0) {
            if (spu->SPUfreeze(FreezeSave, record.get()) != 1) h.mismatch("save", 0, 0, 1);
            for (uint32_t i = 0; i < 8; ++i) {
                const uint32_t byte = unit * 8 + 2 * i;
                const uint32_t saved = record->soundRam[byte] | (record->soundRam[byte + 1] << 8);
                if (saved != 0xA500 + i) h.mismatch("saved word", byte, saved, 0xA500 + i);
            }
            if (spu->SPUfreeze(FreezeLoad, record.get()) != 1) h.mismatch("load", 0, 0, 1);
            spu->SPUwriteRegister(reg(0xDA6), static_cast<uint16_t>(unit));
            for (uint32_t i = 0; i < 8; ++i) {
                const uint16_t got = spu->SPUreadDMA();
                if (got != 0xA500 + i) h.mismatch("word after load", unit * 8 + 2 * i, got, 0xA500 + i);
            }
            ++h.saves;
        }
        Sleep(1);
    }
    return 0;
}

// A second host thread that hands over decoded CD audio, as hosts that decode XA on a thread
// of their own do. The CD volume is 0: the blocks run through the ring without being heard.
DWORD WINAPI cdAudioThread(LPVOID context) {
    auto& h = *static_cast<HostThreads*>(context);
    static XaDecodeRecord block;
    fillCdBlock(block);
    while (!h.stop.load()) {
        h.spu->SPUplayADPCMchannel(&block);
        ++h.cdBlocks;
        Sleep(soak::kCdBlockEveryMs);
    }
    return 0;
}

TEST(SpuSoak, MinuteOfPlaybackWhileHostThreadsWork) {
    const SpuExports* spu = exports();
    ASSERT_NE(spu, nullptr) << "cannot load " << dllPath();
    auto probe = reinterpret_cast<ProbeStreamStats>(
        reinterpret_cast<void*>(GetProcAddress(module(), "SPUprobeStreamStats")));
    ASSERT_NE(probe, nullptr) << "the soak needs spuTarn_probe.dll";
    ASSERT_TRUE(deleteSettingsKey());  // the defaults: an 8 KiB streaming buffer
    ASSERT_EQ(spu->SPUinit(), 0);

    // The steady tone: the looped 441 Hz sine of the playback test on voice 0, held in sustain.
    const std::vector<uint8_t> loop = encodedVoiceLoop();
    std::vector<uint16_t> words(loop.size() / 2);
    std::memcpy(words.data(), loop.data(), loop.size());
    spu->SPUwriteRegister(reg(0xDA6), plan::kVoiceRamByte / 8);
    spu->SPUwriteDMAMem(words.data(), static_cast<int32_t>(words.size()));
    spu->SPUwriteRegister(voiceReg(0, 0x0), plan::kVoiceVolumeLeft);
    spu->SPUwriteRegister(voiceReg(0, 0x2), plan::kVoiceVolumeRight);
    spu->SPUwriteRegister(voiceReg(0, 0x4), plan::kVoicePitch);
    spu->SPUwriteRegister(voiceReg(0, 0x6), plan::kVoiceStartAddress);
    spu->SPUwriteRegister(voiceReg(0, 0x8), plan::kVoiceAdsr1);
    spu->SPUwriteRegister(voiceReg(0, 0xA), plan::kVoiceAdsr2);
    spu->SPUwriteRegister(reg(0xDB0), 0);  // CD audio inaudible
    spu->SPUwriteRegister(reg(0xDB2), 0);
    spu->SPUwriteRegister(reg(0xD88), 0x0001);

    ASSERT_EQ(spu->SPUopen(hostWindow()), 0);
    const DWORD start = GetTickCount();
    HostThreads h;
    h.spu = spu;
    HANDLE threads[2] = {CreateThread(nullptr, 0, emulationThread, &h, 0, nullptr),
                         CreateThread(nullptr, 0, cdAudioThread, &h, 0, nullptr)};
    ASSERT_NE(threads[0], nullptr);
    ASSERT_NE(threads[1], nullptr);

    Sleep(soak::kSeconds * 1000);
    h.stop = true;
    WaitForMultipleObjects(2, threads, TRUE, INFINITE);
    CloseHandle(threads[0]);
    CloseHandle(threads[1]);

    StreamStats stats;
    ASSERT_EQ(probe(&stats), 1);
    const double seconds = (GetTickCount() - start) / 1000.0;
    const uint16_t envelope = spu->SPUreadRegister(voiceReg(0, 0xC));
    EXPECT_EQ(spu->SPUclose(), 0);
    EXPECT_EQ(spu->SPUshutdown(), 0);

    std::printf("[ soak ] %.1f s: %llu passes, longest gap %u ms, %u late; %llu bytes played, "
                "%llu frames made (%.1f s of sound, %.0f a second)\n",
                seconds, static_cast<unsigned long long>(stats.passes), stats.longestGapMs,
                stats.latePasses, static_cast<unsigned long long>(stats.bytesPlayed),
                static_cast<unsigned long long>(stats.framesMade), stats.framesMade / 44100.0,
                stats.framesMade / seconds);
    std::printf("[ soak ] host threads: %llu register writes, %llu DMA words, %llu data-port "
                "words, %llu save/load pairs, %llu CD blocks; %llu mismatches\n",
                static_cast<unsigned long long>(h.registerWrites.load()),
                static_cast<unsigned long long>(h.dmaWords.load()),
                static_cast<unsigned long long>(h.portWords.load()),
                static_cast<unsigned long long>(h.saves.load()),
                static_cast<unsigned long long>(h.cdBlocks.load()),
                static_cast<unsigned long long>(h.mismatches.load()));

    EXPECT_EQ(h.mismatches.load(), 0u) << h.firstMismatch;
    EXPECT_GT(h.saves.load(), 0u);
    EXPECT_EQ(envelope, plan::kVoiceSustainEnvelope) << "the tone held its sustain to the end";
    // The plug-in's own timing: no pass so late that the device replayed old contents, and the
    // chip advanced by one frame per 4 bytes played. A pass fills up to the buffer's end and
    // leaves the wrapped rest to the next one, so at most one buffer length is still to make.
    EXPECT_EQ(stats.latePasses, 0u);
    EXPECT_LE(stats.framesMade * 4, stats.bytesPlayed);
    EXPECT_GE(stats.framesMade * 4 + soak::kStreamBufferBytes, stats.bytesPlayed);
    // And the played bytes kept up with the clock: the device plays 44100 frames a second.
    EXPECT_NEAR(stats.framesMade / seconds, 44100.0, 44100.0 * soak::kRateTolerance);
}

}  // namespace
}  // namespace spu_wine
