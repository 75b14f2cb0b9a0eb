// Register file, data port and DMA through the real DLL's exports, checked against sound RAM as
// the freeze record shows it: the same path a host's save state takes.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "spu_plugin.h"

namespace spu_wine {
namespace {

class SpuRegisters : public ::testing::Test {
protected:
    void SetUp() override {
        spu = exports();
        ASSERT_NE(spu, nullptr) << "cannot load " << dllPath();
        ASSERT_EQ(spu->SPUinit(), 0);
        record.reset(new FreezeRecord);
    }
    void TearDown() override {
        if (spu != nullptr) spu->SPUshutdown();
    }
    const FreezeRecord& save() {
        std::memset(record.get(), 0xA5, sizeof(FreezeRecord));
        EXPECT_EQ(spu->SPUfreeze(FreezeSave, record.get()), 1);
        return *record;
    }
    uint16_t ramWord(uint32_t byte) {
        return static_cast<uint16_t>(record->soundRam[byte] | (record->soundRam[byte + 1] << 8));
    }

    const SpuExports* spu = nullptr;
    std::unique_ptr<FreezeRecord> record;
};

TEST_F(SpuRegisters, StartAllZeroAndAnswerZeroBeforeInitAndAfterShutdown) {
    // The heap under Wine is not zeroed for us: a core that relied on it would show garbage.
    const FreezeRecord& r = save();
    bool ramZero = true;
    for (uint8_t b : r.soundRam) ramZero = ramZero && b == 0;
    bool regsZero = true;
    for (uint8_t b : r.registers) regsZero = regsZero && b == 0;
    EXPECT_TRUE(ramZero);
    EXPECT_TRUE(regsZero);
    EXPECT_EQ(spu->SPUreadRegister(reg(0xDAA)), 0);
    EXPECT_EQ(spu->SPUreadRegister(reg(0xDAE)), 0);

    spu->SPUwriteRegister(reg(0xDAA), 0x1234);
    ASSERT_EQ(spu->SPUshutdown(), 0);
    // No core: reads give 0 and writes go nowhere, with no lock to touch.
    EXPECT_EQ(spu->SPUreadRegister(reg(0xDAA)), 0);
    spu->SPUwriteRegister(reg(0xDAA), 0x4321);
    spu->SPUwriteDMA(0x1111);
    EXPECT_EQ(spu->SPUreadDMA(), 0);
    spu->SPUfreeze(FreezeSave, record.get());  // no core to copy: it must not crash
    ASSERT_EQ(spu->SPUinit(), 0);  // TearDown shuts down again
    EXPECT_EQ(spu->SPUreadRegister(reg(0xDAA)), 0) << "a new core starts from zero";
}

TEST_F(SpuRegisters, TransferAddressCountsEightByteUnitsAndTheDataPortWraps) {
    EXPECT_EQ(spu->SPUreadRegister(reg(0xDA6)), 0xFFFF) << "no transfer address set yet";

    spu->SPUwriteRegister(reg(0xDA6), 0x1234);
    EXPECT_EQ(spu->SPUreadRegister(reg(0xDA6)), 0x1234);
    spu->SPUwriteDMA(0xBEEF);  // lands at byte 0x1234 * 8 = 0x91A0
    save();
    EXPECT_EQ(record->soundRam[0x91A0], 0xEF);
    EXPECT_EQ(record->soundRam[0x91A1], 0xBE);
    spu->SPUwriteRegister(reg(0xDA6), 0x1234);
    EXPECT_EQ(spu->SPUreadDMA(), 0xBEEF);

    // 0xFFFF * 8 = 0x7FFF8: four words fill the end of sound RAM, the fifth wraps to byte 0.
    spu->SPUwriteRegister(reg(0xDA6), 0xFFFF);
    uint16_t words[5] = {0x1101, 0x2202, 0x3303, 0x4404, 0x5505};
    spu->SPUwriteDMAMem(words, 5);
    save();
    EXPECT_EQ(ramWord(0x7FFF8), 0x1101);
    EXPECT_EQ(ramWord(0x7FFFE), 0x4404);
    EXPECT_EQ(ramWord(0), 0x5505);
    EXPECT_EQ(spu->SPUreadRegister(reg(0xDA6)), 0) << "transfer address now at byte 2";

    spu->SPUwriteRegister(reg(0xDA6), 0xFFFF);
    uint16_t back[5] = {};
    spu->SPUreadDMAMem(back, 5);
    EXPECT_EQ(std::memcmp(back, words, sizeof words), 0);

    // Reading the data port register advances like the port itself: two reads, 4 bytes.
    spu->SPUwriteRegister(reg(0xDA6), 0xFFFF);
    EXPECT_EQ(spu->SPUreadRegister(reg(0xDA8)), 0x1101);
    EXPECT_EQ(spu->SPUreadRegister(reg(0xDA8)), 0x2202);
}

TEST_F(SpuRegisters, EmptyAndNegativeBlocksMoveNothing) {
    spu->SPUwriteRegister(reg(0xDA6), 0x0010);  // byte 0x80
    uint16_t words[2] = {0x7777, 0x8888};
    spu->SPUwriteDMAMem(words, 0);
    spu->SPUwriteDMAMem(words, -3);
    spu->SPUreadDMAMem(words, 0);
    spu->SPUreadDMAMem(words, -1);
    EXPECT_EQ(words[0], 0x7777);
    EXPECT_EQ(words[1], 0x8888);
    spu->SPUwriteDMA(0x5555);
    save();
    EXPECT_EQ(ramWord(0x80), 0x5555) << "the transfer address did not move";
    EXPECT_EQ(ramWord(0x82), 0);
}

TEST_F(SpuRegisters, StatusMaskControlAndRawCdVolumes) {
    spu->SPUwriteRegister(reg(0xDAE), 0x1234);
    EXPECT_EQ(spu->SPUreadRegister(reg(0xDAE)), 0x1000) << "status keeps bits 11 to 15";
    spu->SPUwriteRegister(reg(0xDAA), 0x1234);
    EXPECT_EQ(spu->SPUreadRegister(reg(0xDAA)), 0x1234);
    // The CD volumes decode for the mixer, but the registers read back as written.
    spu->SPUwriteRegister(reg(0xDB0), 0xC000);
    spu->SPUwriteRegister(reg(0xDB2), 0x8000);
    EXPECT_EQ(spu->SPUreadRegister(reg(0xDB0)), 0xC000);
    EXPECT_EQ(spu->SPUreadRegister(reg(0xDB2)), 0x8000);
    // An odd offset falls into the entry below it.
    spu->SPUwriteRegister(voiceReg(0, 0x1), 0x3FFF);
    EXPECT_EQ(spu->SPUreadRegister(voiceReg(0, 0x0)), 0x3FFF);
    // Low 12 bits outside 0xC00..0xDFF: no register there.
    spu->SPUwriteRegister(reg(0x100), 0x7777);
    EXPECT_EQ(spu->SPUreadRegister(reg(0x100)), 0);
    // The shadow in the save state holds the entry of 0xC00 + 2k at byte 2k.
    spu->SPUwriteRegister(voiceReg(23, 0x4), 0x2345);
    save();
    const uint32_t k = (0xC04 + 16 * 23 - 0xC00) / 2;
    EXPECT_EQ(record->registers[2 * k], 0x45);
    EXPECT_EQ(record->registers[2 * k + 1], 0x23);
    EXPECT_EQ(record->registers[(0xDAE - 0xC00)], 0x34) << "the shadow holds the raw write";
}

TEST_F(SpuRegisters, FreezeQueryWritesOnlyTheSixteenByteHeader) {
    // Some hosts ask with a 16-byte buffer: nothing may land past byte 15.
    unsigned char buffer[32];
    std::memset(buffer, 0xCC, sizeof buffer);
    EXPECT_EQ(spu->SPUfreeze(FreezeQuery, reinterpret_cast<FreezeRecord*>(buffer)), 1);
    EXPECT_EQ(std::memcmp(buffer, "TRELK\0", 6), 0);
    EXPECT_EQ(buffer[6], 0xCC);
    EXPECT_EQ(buffer[7], 0xCC);
    const unsigned char header[8] = {1, 0, 0, 0, 0x30, 0x86, 0x08, 0};  // 1, 558640
    EXPECT_EQ(std::memcmp(buffer + 8, header, 8), 0);
    for (int i = 16; i < 32; ++i) EXPECT_EQ(buffer[i], 0xCC) << "byte " << i;
    EXPECT_EQ(spu->SPUfreeze(FreezeQuery, nullptr), 0);
}

}  // namespace
}  // namespace spu_wine
