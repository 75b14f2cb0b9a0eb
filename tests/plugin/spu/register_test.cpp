// The register file, data port and DMA through the host's entry points: the dispatch on the
// address, and the transfer address as the freeze record shows where words landed.
#include "spu_test_support.h"

namespace {

class RegisterTest : public SpuPluginTest {
protected:
    void SetUp() override {
        SpuPluginTest::SetUp();
        spu.SPUinit();
    }
    // Sound RAM as the freeze record shows it.
    std::unique_ptr<FreezeRecord> save() {
        auto record = std::make_unique<FreezeRecord>();
        EXPECT_EQ(spu.SPUfreeze(FreezeSave, record.get()), 1);
        return record;
    }
};

TEST_F(RegisterTest, AddressIsTakenFromItsLowTwelveBits) {
    spu.SPUwriteRegister(0x1F801C04, 0x1234);
    EXPECT_EQ(spu.SPUreadRegister(0x00000C04), 0x1234);
    EXPECT_EQ(spu.SPUreadRegister(0xABCDEC04), 0x1234);
    // An odd offset shares the entry of the even one below it.
    spu.SPUwriteRegister(0x1F801C07, 0x0BAD);
    EXPECT_EQ(spu.SPUreadRegister(0x1F801C06), 0x0BAD);
}

TEST_F(RegisterTest, AddressOutsideTheRegisterFileIsIgnored) {
    auto before = save();
    spu.SPUwriteRegister(0x1F801000, 0xFFFF);
    spu.SPUwriteRegister(0x1F801BFE, 0xFFFF);
    spu.SPUwriteRegister(0x1F801E00, 0xFFFF);
    EXPECT_EQ(spu.SPUreadRegister(0x1F801BFE), 0);
    EXPECT_EQ(spu.SPUreadRegister(0x1F801E00), 0);
    auto after = save();
    EXPECT_EQ(std::memcmp(before.get(), after.get(), sizeof(FreezeRecord)), 0);
}

TEST_F(RegisterTest, CoreRegistersReadBackAsTheChipKeepsThem) {
    EXPECT_EQ(read(0xDA6), 0xFFFF);  // no transfer address written yet
    write(0xDAE, 0x1234);
    EXPECT_EQ(read(0xDAE), 0x1000);  // only bits 11..15 of status are kept
    write(0xDAA, 0x1234);
    EXPECT_EQ(read(0xDAA), 0x1234);
    write(0xDA4, 0x0F0F);
    EXPECT_EQ(read(0xDA4), 0x0F0F);
    write(0xDB0, 0x8000);            // CD volume: the raw value is read back, not the decoded one
    EXPECT_EQ(read(0xDB0), 0x8000);
}

TEST_F(RegisterTest, DataPortWordLandsAtEightTimesTheTransferAddress) {
    write(0xDA6, 0x1234);
    EXPECT_EQ(read(0xDA6), 0x1234);
    spu.SPUwriteDMA(0xBEEF);
    write(0xDA8, 0xCAFE);  // the data port through the register file
    auto record = save();
    EXPECT_EQ(record->soundRam[0x91A0], 0xEF);  // 0x1234 * 8, low byte first
    EXPECT_EQ(record->soundRam[0x91A1], 0xBE);
    EXPECT_EQ(record->soundRam[0x91A2], 0xFE);
    EXPECT_EQ(record->soundRam[0x91A3], 0xCA);
    // Reading the data port twice gives two consecutive words and moves on by 4 bytes.
    write(0xDA6, 0x1234);
    EXPECT_EQ(read(0xDA8), 0xBEEF);
    EXPECT_EQ(spu.SPUreadDMA(), 0xCAFE);
    EXPECT_EQ(read(0xDA6), 0x1234);  // 0x91A4 / 8, truncated
}

TEST_F(RegisterTest, DataPortBeforeAnyTransferAddressStaysInsideSoundRam) {
    // 0xFFFFFFFF & 0x7FFFE: the last word of sound RAM, then on from byte 0.
    spu.SPUwriteDMA(0x1111);
    spu.SPUwriteDMA(0x2222);
    auto record = save();
    EXPECT_EQ(record->soundRam[0x7FFFE], 0x11);
    EXPECT_EQ(record->soundRam[0x7FFFF], 0x11);
    EXPECT_EQ(record->soundRam[0], 0x22);
    EXPECT_EQ(record->soundRam[1], 0x22);
}

TEST_F(RegisterTest, DmaBlockWrapsFromTheEndOfSoundRamToItsStart) {
    uint16_t words[5] = {0x0101, 0x0202, 0x0303, 0x0404, 0x0505};
    write(0xDA6, 0xFFFF);  // byte 0x7FFF8
    spu.SPUwriteDMAMem(words, 5);
    auto record = save();
    EXPECT_EQ(record->soundRam[0x7FFF8], 0x01);
    EXPECT_EQ(record->soundRam[0x7FFFE], 0x04);
    EXPECT_EQ(record->soundRam[0], 0x05);
    EXPECT_EQ(record->soundRam[1], 0x05);

    uint16_t back[5] = {};
    write(0xDA6, 0xFFFF);
    spu.SPUreadDMAMem(back, 5);
    EXPECT_EQ(std::memcmp(back, words, sizeof(words)), 0);
}

TEST_F(RegisterTest, EmptyOrNegativeDmaBlocksMoveNothing) {
    write(0xDA6, 0x0100);
    uint16_t words[2] = {0x7777, 0x8888};
    spu.SPUwriteDMAMem(words, 0);
    spu.SPUwriteDMAMem(words, -1);
    spu.SPUreadDMAMem(words, -5);
    EXPECT_EQ(words[0], 0x7777);
    // The transfer address did not move: the next word lands at 0x800.
    spu.SPUwriteDMA(0x4242);
    auto record = save();
    EXPECT_EQ(record->soundRam[0x800], 0x42);
    EXPECT_EQ(record->soundRam[0x7FE], 0x00);
}

TEST_F(RegisterTest, KeyOnMaskOfHighVoicesReadsBackLimitedAfterAPass) {
    write(0xD8A, 0xFFFF);  // voices 16..23 only
    EXPECT_EQ(read(0xD8A), 0xFFFF);  // the host's write, until a pass rewrites it
    spu.SPUopen();
    settle();
    EXPECT_EQ(read(0xD8A), 0x00FF);
    EXPECT_EQ(read(0xD88), 0x0000);
}

}  // namespace
