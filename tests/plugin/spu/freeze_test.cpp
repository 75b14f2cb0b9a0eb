// Save states through SPUfreeze: the record's layout byte by byte, the modes, the CD audio
// replay and what a load leaves alone.
#include <sys/mman.h>
#include <unistd.h>

#include "spu_test_support.h"

namespace {

constexpr size_t kRecordSize = 0x88630;  // 558640
constexpr size_t kRegistersAt = 0x10;
constexpr size_t kSoundRamAt = 0x210;
constexpr size_t kCdAudioAt = 0x80210;
constexpr size_t kCdSampleCountAt = 0x8021C;
constexpr size_t kCdPcmAt = kCdAudioAt + 32;

class FreezeTest : public SpuPluginTest {
protected:
    void SetUp() override {
        SpuPluginTest::SetUp();
        spu.SPUinit();
    }
    // A host-owned block of the full size, filled with a marker byte.
    static std::vector<uint8_t> block(uint8_t fill) { return std::vector<uint8_t>(kRecordSize, fill); }
    int32_t freeze(uint32_t mode, std::vector<uint8_t>& b) {
        return spu.SPUfreeze(mode, reinterpret_cast<FreezeRecord*>(b.data()));
    }
    static uint32_t u32(const std::vector<uint8_t>& b, size_t at) {
        uint32_t v = 0;
        std::memcpy(&v, b.data() + at, 4);
        return v;
    }
    static void putU32(std::vector<uint8_t>& b, size_t at, uint32_t v) { std::memcpy(b.data() + at, &v, 4); }
    // A record holding a mono 44100 Hz CD block with sampleCount `count` of samples 1000 + i.
    static void putCdBlock(std::vector<uint8_t>& b, int32_t count) {
        putU32(b, kCdAudioAt + 0, 44100);
        putU32(b, kCdAudioAt + 4, 16);
        putU32(b, kCdAudioAt + 8, 0);
        putU32(b, kCdSampleCountAt, static_cast<uint32_t>(count));
        for (int i = 0; i < 16896; ++i) {
            const int16_t v = static_cast<int16_t>(1000 + (i % 8000));
            std::memcpy(b.data() + kCdPcmAt + 2 * static_cast<size_t>(i), &v, 2);
        }
    }
    // How many of the CD ramp's frames come out over the next `frames` output frames.
    int cdFramesPlayed(int frames) {
        write(0xDB0, 0x7FFF);
        write(0xDB2, 0x7FFF);
        spu.SPUopen();
        settle();
        advanceAndSettle(static_cast<uint32_t>(frames) * 4);
        auto buffer = sim::dsoundStreamBufferContents();
        int played = 0;
        for (int i = 0; i < frames; ++i)
            if (sampleAt(buffer, static_cast<uint32_t>(i) * 4) == 999 + played) ++played;
        spu.SPUclose();
        return played;
    }
};

TEST_F(FreezeTest, SaveLaysOutHeaderRegistersSoundRamAndAZeroCdBlock) {
    const uint16_t tail[4] = {0, 0, 0, 0x0BB0};  // the last word of sound RAM
    spu.uploadWords(0x7FFF8, tail, 4);
    write(0xC00, 0x1234);           // shadow entry 0: bytes 0x10, 0x11
    write(0xDFE, 0xA55A);           // shadow entry 255: bytes 0x20E, 0x20F
    write(0xDA6, 0x1234);           // sound RAM byte 0x91A0
    spu.SPUwriteDMA(0xBEEF);

    auto b = block(0xAA);
    EXPECT_EQ(freeze(FreezeSave, b), 1);
    EXPECT_EQ(std::memcmp(b.data(), "TRELK\0\0\0", 8), 0);  // bytes 6 and 7 cleared too
    EXPECT_EQ(u32(b, 8), 1u);
    EXPECT_EQ(u32(b, 12), 0x88630u);
    EXPECT_EQ(b[kRegistersAt + 0], 0x34);
    EXPECT_EQ(b[kRegistersAt + 1], 0x12);
    EXPECT_EQ(b[kRegistersAt + 510], 0x5A);
    EXPECT_EQ(b[kRegistersAt + 511], 0xA5);
    // The transfer address register is stored as written, low byte first.
    EXPECT_EQ(b[kRegistersAt + 0x1A6], 0x34);
    EXPECT_EQ(b[kRegistersAt + 0x1A7], 0x12);
    EXPECT_EQ(b[kSoundRamAt + 0x91A0], 0xEF);
    EXPECT_EQ(b[kSoundRamAt + 0x91A1], 0xBE);
    EXPECT_EQ(b[kSoundRamAt + 0x7FFFE], 0xB0);
    EXPECT_EQ(b[kSoundRamAt + 0x7FFFF], 0x0B);
    for (size_t i = kCdAudioAt; i < kRecordSize; ++i) ASSERT_EQ(b[i], 0) << i;
}

TEST_F(FreezeTest, FreshCoreHasAllZeroRegistersAndSoundRam) {
    auto b = block(0xAA);
    EXPECT_EQ(freeze(FreezeSave, b), 1);
    for (size_t i = 16; i < kRecordSize; ++i) ASSERT_EQ(b[i], 0) << i;
    EXPECT_EQ(read(0xDAA), 0);  // control
    EXPECT_EQ(read(0xDAE), 0);  // status
}

TEST_F(FreezeTest, QueryWritesOnlyTheFirstSixteenBytes) {
    write(0xC00, 0x1234);
    auto b = block(0xCC);
    EXPECT_EQ(freeze(FreezeQuery, b), 1);
    EXPECT_EQ(std::memcmp(b.data(), "TRELK\0", 6), 0);
    EXPECT_EQ(b[6], 0xCC);
    EXPECT_EQ(b[7], 0xCC);
    EXPECT_EQ(u32(b, 8), 1u);
    EXPECT_EQ(u32(b, 12), 558640u);
    for (size_t i = 16; i < kRecordSize; ++i) ASSERT_EQ(b[i], 0xCC) << i;
}

TEST_F(FreezeTest, OtherModesSaveWithoutClearing) {
    write(0xC00, 0x1234);
    auto b = block(0xCC);
    EXPECT_EQ(freeze(7, b), 1);
    EXPECT_EQ(b[6], 0xCC);
    EXPECT_EQ(b[kRegistersAt], 0x34);
    EXPECT_EQ(b[kSoundRamAt], 0x00);
    EXPECT_EQ(b[kCdAudioAt], 0xCC);
    EXPECT_EQ(b[kRecordSize - 1], 0xCC);
}

TEST_F(FreezeTest, SaveThenLoadRestoresSoundRamAndShadowExactly) {
    std::vector<uint16_t> pattern(0x40000);
    for (size_t i = 0; i < pattern.size(); ++i) pattern[i] = static_cast<uint16_t>(i * 2654435761u >> 7);
    spu.uploadWords(0, pattern.data(), static_cast<int32_t>(pattern.size()));
    for (uint32_t off = 0xC00; off < 0xD80; off += 2) write(off, static_cast<uint16_t>(off * 7));
    auto saved = block(0);
    freeze(FreezeSave, saved);

    // Scribble over everything, then load.
    std::vector<uint16_t> other(0x40000, 0x5555);
    spu.uploadWords(0, other.data(), static_cast<int32_t>(other.size()));
    for (uint32_t off = 0xC00; off < 0xD80; off += 2) write(off, 0x1111);
    EXPECT_EQ(freeze(FreezeLoad, saved), 1);

    auto again = block(0);
    freeze(FreezeSave, again);
    EXPECT_EQ(std::memcmp(again.data(), saved.data(), kCdAudioAt), 0);
    EXPECT_EQ(read(0xC00), 0xC00 * 7 & 0xFFFF);
    std::vector<uint16_t> back(0x40000);
    spu.downloadWords(0, back.data(), static_cast<int32_t>(back.size()));
    EXPECT_EQ(back, pattern);
}

TEST_F(FreezeTest, LoadIgnoresTheHeader) {
    write(0xC04, 0x0222);
    auto saved = block(0);
    freeze(FreezeSave, saved);
    auto wrong = saved;
    std::memcpy(wrong.data(), "XXXXXXXX", 8);
    putU32(wrong, 8, 7);
    putU32(wrong, 12, 0xFFFFFFFFu);  // a size at least the record's says nothing more

    write(0xC04, 0x0999);
    EXPECT_EQ(freeze(FreezeLoad, wrong), 1);
    EXPECT_EQ(read(0xC04), 0x0222);
    auto after = block(0);
    freeze(FreezeSave, after);
    EXPECT_EQ(std::memcmp(after.data() + 16, saved.data() + 16, kCdAudioAt - 16), 0);
}

// A Linux host allocates the record at the size its state file stores. Each record here ends
// where its size says, right before an unmapped page, so reading past it faults. Sizes 0 and
// 558640 and above load as ever (the guard then sits after the full record).
TEST_F(FreezeTest, RecordShorterThanItsOwnSizeFieldSaysLoadsNothing) {
    const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    const size_t span = (kRecordSize + page - 1) / page * page;
    const std::pair<uint32_t, int32_t> cases[] = {{1000, 0}, {524816, 0}, {558632, 0}, {16, 0},
                                                  {0, 1},    {558640, 1}, {558641, 1}};
    for (const auto& [size, result] : cases) {
        const size_t bytes = size == 0 || size > kRecordSize ? kRecordSize : size;
        void* memory =
            mmap(nullptr, span + page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        ASSERT_NE(memory, MAP_FAILED);
        mprotect(static_cast<uint8_t*>(memory) + span, page, PROT_NONE);
        uint8_t* record = static_cast<uint8_t*>(memory) + span - bytes;
        std::memset(record, 0x5A, bytes);
        std::memcpy(record + 12, &size, 4);
        if (bytes == kRecordSize) std::memset(record + kCdSampleCountAt, 0, 4);  // no replay
        write(0xC04, 0x0123);
        EXPECT_EQ(spu.SPUfreeze(FreezeLoad, reinterpret_cast<FreezeRecord*>(record)), result)
            << size;
        // Loaded: the pitch entry of the record's shadow (0x5A5A); refused: still 0x0123.
        EXPECT_EQ(read(0xC04), result == 1 ? 0x5A5A : 0x0123) << size;
        munmap(memory, span + page);
    }
}

TEST_F(FreezeTest, LoadLeavesCoreRegistersAndTransferAddressAlone) {
    write(0xDAA, 0x1111);
    write(0xDA6, 0x0100);
    auto saved = block(0);
    freeze(FreezeSave, saved);
    write(0xDAA, 0x2222);
    write(0xDA6, 0x0200);
    freeze(FreezeLoad, saved);
    EXPECT_EQ(read(0xDAA), 0x2222);  // the control register, not its loaded shadow
    EXPECT_EQ(read(0xDA6), 0x0200);
    spu.SPUwriteDMA(0x7777);         // the data port goes on at the old address, byte 0x1000
    auto after = block(0);
    freeze(FreezeSave, after);
    EXPECT_EQ(after[kRegistersAt + 0x1AA], 0x11);  // shadow of 0xDAA holds the loaded value
    EXPECT_EQ(after[kSoundRamAt + 0x1000], 0x77);
}

TEST_F(FreezeTest, CdBlockIsReplayedUpTo4032SamplesOnly) {
    auto b = block(0);
    freeze(FreezeSave, b);
    putCdBlock(b, 4032);
    freeze(FreezeLoad, b);
    EXPECT_EQ(cdFramesPlayed(1000), 1000);
}

TEST_F(FreezeTest, CdBlockOf4033SamplesIsNotReplayed) {
    auto b = block(0);
    freeze(FreezeSave, b);
    putCdBlock(b, 4033);
    freeze(FreezeLoad, b);
    EXPECT_EQ(cdFramesPlayed(1000), 0);
}

TEST_F(FreezeTest, NegativeCdCountPassesTheCheckAndFeedsNothing) {
    auto b = block(0);
    freeze(FreezeSave, b);
    putCdBlock(b, -1);
    freeze(FreezeLoad, b);
    EXPECT_EQ(cdFramesPlayed(500), 0);
}

TEST_F(FreezeTest, LoadedPitchIsShownWhileTheVoiceKeepsItsOwn) {
    // Two one-shot blocks of silence at 0x1000 (unit 0x200): 56 source samples, then flag 1.
    uint8_t blocks[32] = {};
    blocks[16 + 1] = 1;
    std::vector<uint16_t> words(16);
    std::memcpy(words.data(), blocks, 32);
    spu.uploadWords(0x1000, words.data(), 16);
    write(0xC06, 0x0200);  // voice 0 start
    write(0xC04, 0x2000);  // 2 source samples a frame: the chain ends after 28 frames
    auto saved = block(0);
    freeze(FreezeSave, saved);
    write(0xC04, 0x0800);  // half a source sample a frame: 112 frames
    freeze(FreezeLoad, saved);
    EXPECT_EQ(read(0xC04), 0x2000);

    write(0xC08, 0x0000);
    write(0xD88, 0x0001);
    spu.SPUopen();
    settle();
    advanceAndSettle(40 * 4);
    EXPECT_EQ(read(0xD9C) & 1, 1);  // still sounding at the voice's own slower pitch
    spu.SPUclose();

    write(0xC04, 0x2000);  // writing the register makes voice and shadow agree
    write(0xD88, 0x0001);
    spu.SPUopen();
    settle();
    advanceAndSettle(40 * 4);
    EXPECT_EQ(read(0xD9C) & 1, 0);
}

TEST_F(FreezeTest, NullRecordReturnsZeroInEveryMode) {
    for (uint32_t mode : {0u, 1u, 2u, 3u, 0xFFFFFFFFu})
        EXPECT_EQ(spu.SPUfreeze(mode, nullptr), 0) << mode;
}

// Random records and CD block heads: a load must never read or write outside the record or
// the chip, whatever the host stored. Seeded and bounded, so a failure reproduces.
TEST_F(FreezeTest, RandomRecordsLoadSafely) {
    uint32_t seed = 0x2545F491u;
    auto next = [&seed]() {
        seed ^= seed << 13;
        seed ^= seed >> 17;
        seed ^= seed << 5;
        return seed;
    };
    auto b = block(0);
    write(0xDB0, 0x7FFF);
    write(0xDB2, 0x7FFF);
    // Loaded while open: the streaming thread runs beside the loads (the cursor stands still).
    spu.SPUopen();
    settle();
    for (int round = 0; round < 40; ++round) {
        for (size_t i = 0; i < kRecordSize; i += 4) putU32(b, i, next());
        // Voice 0's envelope level in the loaded shadow: a pass must replace it.
        b[kRegistersAt + 0x0C] = 0xEF;
        b[kRegistersAt + 0x0D] = 0xBE;
        // Heads: random, or near the limits the chip checks.
        const int32_t heads[][4] = {
            {static_cast<int32_t>(next()), static_cast<int32_t>(next()),
             static_cast<int32_t>(next()), static_cast<int32_t>(next() % 9000) - 500},
            {static_cast<int32_t>(next() % 100000), 16, 1, 4032},
            {-44100, 16, 0, 4032},
            {0, 4, static_cast<int32_t>(next() % 4), 4000},
            {37800, 16, 1, static_cast<int32_t>(next() % 4033)},
        };
        const auto& h = heads[round % 5];
        for (int k = 0; k < 3; ++k) putU32(b, kCdAudioAt + 4 * static_cast<size_t>(k), static_cast<uint32_t>(h[k]));
        putU32(b, kCdSampleCountAt, static_cast<uint32_t>(h[3]));
        EXPECT_EQ(freeze(FreezeLoad, b), 1);
        // The same heads straight through the CD entry point.
        spu.SPUplayADPCMchannel(reinterpret_cast<XaDecodeRecord*>(b.data() + kCdAudioAt));
    }
    // The chip still works: the next pass drains the CD audio the loads replayed (random
    // samples at full volume, so hardly a frame is silent) and refreshes the loaded shadow.
    advanceAndSettle(4000);
    const auto buffer = sim::dsoundStreamBufferContents();
    int sounding = 0;
    for (uint32_t i = 0; i < 1000; ++i) sounding += sampleAt(buffer, i * 4) != 0 ? 1 : 0;
    EXPECT_GT(sounding, 900);
    EXPECT_EQ(read(0xC0C), 0);  // voice 0 never sounded: its own level, 0
    EXPECT_EQ(sim::dsoundStats().buffersAlive, 2);
}

}  // namespace
