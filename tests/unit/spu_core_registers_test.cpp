#include <gtest/gtest.h>

#include <memory>

#include "spu_core.h"

namespace {

constexpr uint32_t kHostBase = 0x1F801000;  // the console address whose low 12 bits name a register

class SpuCoreRegisters : public ::testing::Test {
  protected:
    std::unique_ptr<SpuCore> core = std::make_unique<SpuCore>(32);

    void write(uint32_t offset, uint32_t value) { core->writeRegister(kHostBase + offset, value); }
    uint16_t read(uint32_t offset) { return core->readRegister(kHostBase + offset); }
    uint16_t ramWord(uint32_t byte) const {
        const uint8_t* ram = core->soundRamBytes();
        return static_cast<uint16_t>(ram[byte] | (ram[byte + 1] << 8));
    }
    int nonZeroRamBytes() const {
        int n = 0;
        for (uint32_t i = 0; i < SpuCore::kSoundRamBytes; ++i) n += core->soundRamBytes()[i] != 0;
        return n;
    }
    int nonZeroShadowEntries() const {
        int n = 0;
        for (uint32_t off = 0xC00; off < 0xE00; off += 2) n += core->shadow(off) != 0;
        return n;
    }
};

TEST_F(SpuCoreRegisters, EverythingStartsAtZeroWithNoTransferAddress) {
    EXPECT_EQ(nonZeroRamBytes(), 0);
    EXPECT_EQ(nonZeroShadowEntries(), 0);
    EXPECT_EQ(read(0xDAA), 0);
    EXPECT_EQ(read(0xDAE), 0);
    EXPECT_EQ(read(0xDA4), 0);
    EXPECT_EQ(core->getTransferAddress(), 0xFFFFFFFFu);
    EXPECT_EQ(read(0xDA6), 0xFFFF);  // 0xFFFFFFFF / 8, low 16 bits
}

TEST_F(SpuCoreRegisters, TransferAddressCountsEightByteUnits) {
    write(0xDA6, 0x1234);
    EXPECT_EQ(read(0xDA6), 0x1234);
    EXPECT_EQ(core->getTransferAddress(), 0x91A0u);
    write(0xDA8, 0xBEEF);
    EXPECT_EQ(core->soundRamBytes()[0x91A0], 0xEF);
    EXPECT_EQ(core->soundRamBytes()[0x91A1], 0xBE);
    EXPECT_EQ(core->getTransferAddress(), 0x91A2u);
    EXPECT_EQ(core->shadow(0xDA8), 0xBEEF);  // the data port value also lands in the shadow
    EXPECT_EQ(nonZeroRamBytes(), 2);
}

TEST_F(SpuCoreRegisters, TransfersWrapFromTheLastWordToTheFirst) {
    write(0xDA6, 0xFFFF);
    EXPECT_EQ(core->getTransferAddress(), 0x7FFF8u);
    for (uint16_t w = 1; w <= 4; ++w) core->writeDataPort(static_cast<uint16_t>(0x1100 * w));
    EXPECT_EQ(ramWord(0x7FFF8), 0x1100);
    EXPECT_EQ(ramWord(0x7FFFE), 0x4400);
    EXPECT_EQ(core->getTransferAddress(), 0u);

    write(0xDA6, 0xFFFF);
    const uint16_t block[5] = {0xA001, 0xA002, 0xA003, 0xA004, 0xA005};
    core->writeBlock(block, 5);
    EXPECT_EQ(ramWord(0x7FFFE), 0xA004);
    EXPECT_EQ(core->soundRamBytes()[0], 0x05);
    EXPECT_EQ(core->soundRamBytes()[1], 0xA0);
    EXPECT_EQ(core->getTransferAddress(), 2u);

    write(0xDA6, 0xFFFF);
    uint16_t back[5] = {};
    core->readBlock(back, 5);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(back[i], block[i]);
    EXPECT_EQ(core->getTransferAddress(), 2u);
}

TEST_F(SpuCoreRegisters, EmptyAndNegativeBlocksChangeNothing) {
    write(0xDA6, 0x0010);
    const uint16_t source[2] = {0x1111, 0x2222};
    uint16_t dest[2] = {0x7777, 0x7777};
    for (int32_t count : {0, -1, INT32_MIN}) {
        core->writeBlock(source, count);
        core->readBlock(dest, count);
    }
    core->writeBlock(nullptr, 4);
    core->readBlock(nullptr, 4);
    EXPECT_EQ(core->getTransferAddress(), 0x80u);
    EXPECT_EQ(dest[0], 0x7777);
    EXPECT_EQ(nonZeroRamBytes(), 0);
}

TEST_F(SpuCoreRegisters, DataPortReadsAdvanceTwoBytesEach) {
    write(0xDA6, 0x0020);
    core->writeDataPort(0x1234);
    core->writeDataPort(0x5678);
    write(0xDA6, 0x0020);
    EXPECT_EQ(read(0xDA8), 0x1234);
    EXPECT_EQ(read(0xDA8), 0x5678);
    EXPECT_EQ(core->getTransferAddress(), 0x104u);
    EXPECT_EQ(core->readDataPort(), 0);
    EXPECT_EQ(core->getTransferAddress(), 0x106u);
}

TEST_F(SpuCoreRegisters, TransfersBeforeAnyAddressStayInsideSoundRam) {
    // The unset address 0xFFFFFFFF is taken as the last word; the next one wraps to 0.
    EXPECT_EQ(core->readDataPort(), 0);
    EXPECT_EQ(core->getTransferAddress(), 0u);

    auto fresh = std::make_unique<SpuCore>(32);
    fresh->writeDataPort(0xABCD);
    EXPECT_EQ(fresh->soundRamBytes()[0x7FFFE], 0xCD);
    EXPECT_EQ(fresh->soundRamBytes()[0x7FFFF], 0xAB);
    EXPECT_EQ(fresh->getTransferAddress(), 0u);
    EXPECT_EQ(fresh->readRegister(0xDA6), 0);

    auto dma = std::make_unique<SpuCore>(32);
    const uint16_t words[3] = {0x0101, 0x0202, 0x0303};
    dma->writeBlock(words, 3);
    EXPECT_EQ(dma->soundRamBytes()[0x7FFFE], 0x01);
    EXPECT_EQ(dma->soundRamBytes()[0], 0x02);
    EXPECT_EQ(dma->soundRamBytes()[2], 0x03);
    EXPECT_EQ(dma->getTransferAddress(), 4u);

    auto port = std::make_unique<SpuCore>(32);
    port->writeRegister(0xDA8, 0x4242);  // through the register too
    EXPECT_EQ(port->soundRamBytes()[0x7FFFE], 0x42);
    EXPECT_EQ(port->getTransferAddress(), 0u);
}

TEST_F(SpuCoreRegisters, CoreRegistersReadTheirOwnValues) {
    write(0xDAE, 0x1234);
    EXPECT_EQ(read(0xDAE), 0x1000);
    // Bits 11 to 15 are kept, bit 11 included; 0x1234 alone has bit 11 clear.
    write(0xDAE, 0x0FFF);
    EXPECT_EQ(read(0xDAE), 0x0800);
    write(0xDAE, 0x1234);
    EXPECT_EQ(core->shadow(0xDAE), 0x1234);  // the shadow keeps the raw write; reads never touch it
    write(0xDAA, 0x1234);
    EXPECT_EQ(read(0xDAA), 0x1234);
    write(0xDA4, 0xBEEF);
    EXPECT_EQ(read(0xDA4), 0xBEEF);
    for (int v = 0; v < SpuCore::kVoiceCount; ++v)
        EXPECT_EQ(core->voice(v).getIrqAddress(), 0xBEEF);
    // Registers without a core meaning read back their shadow: main volume, reverb, input.
    for (uint32_t off : {0xD80u, 0xD84u, 0xDA2u, 0xDACu, 0xDB4u, 0xDC0u, 0xDFEu}) {
        write(off, 0x5A00 + off);
        EXPECT_EQ(read(off), static_cast<uint16_t>(0x5A00 + off)) << std::hex << off;
    }
}

TEST_F(SpuCoreRegisters, CdVolumesAreDecodedButReadRaw) {
    write(0xDB0, 0x8000);
    write(0xDB2, 0xFFFF);
    EXPECT_EQ(core->cdAudio().getVolumeLeft(), 0x7FFF);
    EXPECT_EQ(core->cdAudio().getVolumeRight(), 0);
    EXPECT_EQ(read(0xDB0), 0x8000);
    EXPECT_EQ(read(0xDB2), 0xFFFF);
}

TEST_F(SpuCoreRegisters, VoiceRegistersReachTheirVoiceOnly) {
    write(0xC50, 0x4000);  // voice 5 left volume: -0x3FFF
    write(0xC52, 0x3FFF);
    write(0xC54, 0x12345);  // the voice keeps 16 bits
    write(0xC56, 0x0200);
    write(0xC58, 0x7F4A);  // attack 0x7F, decay 4, sustain level 0xA
    write(0xC5A, 0x4085);  // decreasing sustain, rate 2, release 5
    write(0xC5E, 0x0102);
    const Voice& v = core->voice(5);
    EXPECT_EQ(v.getFixedVolumeLeft(), -0x3FFF);
    EXPECT_EQ(v.getFixedVolumeRight(), 0x3FFF);
    EXPECT_EQ(v.getPitch(), 0x2345);
    EXPECT_EQ(v.getStartAddress(), 0x0200);
    EXPECT_EQ(v.getAttackRate(), 0x7F);
    EXPECT_EQ(v.getDecayRate(), 4);
    EXPECT_EQ(v.getSustainLevel(), 0xA);
    EXPECT_TRUE(v.isSustainDecrease());
    EXPECT_EQ(v.getSustainRate(), 2);
    EXPECT_EQ(v.getReleaseRate(), 5);
    EXPECT_EQ(v.getRepeatAddress(), 0x0102);
    EXPECT_EQ(read(0xC54), 0x2345);
    for (int other : {4, 6}) {
        EXPECT_EQ(core->voice(other).getPitch(), 0);
        EXPECT_EQ(core->voice(other).getStartAddress(), 0);
    }
    write(0xD74, 0x0800);  // the last voice
    EXPECT_EQ(core->voice(23).getPitch(), 0x0800);
}

TEST_F(SpuCoreRegisters, OddOffsetsOnlyStoreIntoTheEntryBelow) {
    write(0xC00, 0x3FFF);
    write(0xC01, 0x4000);
    EXPECT_EQ(core->voice(0).getFixedVolumeLeft(), 0x3FFF);
    EXPECT_EQ(read(0xC00), 0x4000);
    EXPECT_EQ(read(0xC01), 0x4000);

    write(0xD89, 0xFFFF);  // no key on
    for (int v = 0; v < 16; ++v) EXPECT_EQ(core->voice(v).getPhase(), EnvelopePhase::Idle);

    write(0xDA6, 0x1234);
    write(0xDA7, 0x0010);
    EXPECT_EQ(core->getTransferAddress(), 0x91A0u);
    EXPECT_EQ(read(0xDA6), 0x1234);  // the even offset still answers from transferAddress
    EXPECT_EQ(read(0xDA7), 0x0010);  // the odd one answers from the shadow

    write(0xDA9, 0xABCD);  // no data-port store
    EXPECT_EQ(nonZeroRamBytes(), 0);
    EXPECT_EQ(read(0xDA9), 0xABCD);  // and no data-port load
    EXPECT_EQ(core->getTransferAddress(), 0x91A0u);

    write(0xDA5, 0x7777);
    EXPECT_EQ(read(0xDA4), 0);
    EXPECT_EQ(core->voice(0).getIrqAddress(), 0);
    write(0xDAF, 0x1234);
    EXPECT_EQ(read(0xDAF), 0x1234);
    EXPECT_EQ(read(0xDAE), 0);
}

TEST_F(SpuCoreRegisters, BitRegistersGiveEveryVoiceOfTheGroupItsBit) {
    write(0xD8A, 0xFFFF);  // key on voices 16..23 only
    for (int v = 0; v < 16; ++v) EXPECT_EQ(core->voice(v).getPhase(), EnvelopePhase::Idle) << v;
    for (int v = 16; v < 24; ++v) EXPECT_EQ(core->voice(v).getPhase(), EnvelopePhase::Attack) << v;
    core->refreshShadow();
    EXPECT_EQ(read(0xD8A), 0x00FF);
    EXPECT_EQ(read(0xD88), 0x0000);

    // A later write passes 0 to the voices whose bit is clear: their latches drop, but a 0
    // does not stop a sounding voice.
    write(0xD8A, 0x0081);
    core->refreshShadow();
    EXPECT_EQ(read(0xD8A), 0x0081);
    EXPECT_EQ(core->voice(17).getPhase(), EnvelopePhase::Attack);

    write(0xD8E, 0xFF02);  // key off voice 17; bits 8..15 reach nobody
    EXPECT_EQ(core->voice(17).getPhase(), EnvelopePhase::Release);
    EXPECT_EQ(core->voice(16).getPhase(), EnvelopePhase::Attack);
    write(0xD98, 0x8001);
    write(0xD9A, 0x0080);
    write(0xD9C, 0x0003);
    write(0xD90, 0x0005);
    write(0xD92, 0xFF00);
    write(0xD94, 0x0102);
    EXPECT_EQ(core->voice(0).getFmFlag(), 1);
    EXPECT_EQ(core->voice(1).getFmFlag(), 0);
    EXPECT_EQ(core->voice(2).getFmFlag(), 1);
    EXPECT_EQ(core->voice(16).getFmFlag(), 0);
    EXPECT_EQ(core->voice(1).getNoiseFlag(), 1);
    EXPECT_EQ(core->voice(8).getNoiseFlag(), 1);
    core->refreshShadow();
    EXPECT_EQ(read(0xD8C), 0x0000);
    EXPECT_EQ(read(0xD8E), 0x0002);
    EXPECT_EQ(read(0xD98), 0x8001);
    EXPECT_EQ(read(0xD9A), 0x0080);
    EXPECT_EQ(read(0xD9C), 0x0003);  // set by the write, until an output step says otherwise
    EXPECT_EQ(read(0xD9E), 0x0000);
    // FM and noise are not rebuilt: the host's writes stay, bits 8..15 included.
    EXPECT_EQ(read(0xD90), 0x0005);
    EXPECT_EQ(read(0xD92), 0xFF00);
    EXPECT_EQ(read(0xD94), 0x0102);
}

TEST_F(SpuCoreRegisters, RefreshReplacesEnvelopeAndRepeatEntries) {
    write(0xC0C, 0x1234);
    write(0xC1E, 0x0456);
    EXPECT_EQ(read(0xC0C), 0x1234);
    EXPECT_EQ(core->voice(0).getEnvelopeLevel(), 0x1234);
    // Overwrite the shadow alone through the odd offsets: the refresh restores the voice's own.
    write(0xC0D, 0x9999);
    write(0xC1F, 0x8888);
    EXPECT_EQ(read(0xC0C), 0x9999);
    EXPECT_EQ(read(0xC1E), 0x8888);
    core->refreshShadow();
    EXPECT_EQ(read(0xC0C), 0x1234);
    EXPECT_EQ(read(0xC1E), 0x0456);
    EXPECT_EQ(read(0xC2C), 0);
}

TEST_F(SpuCoreRegisters, AddressesOutsideTheRegisterWindowAreIgnored) {
    for (uint32_t address : {0xBFEu, 0xBFFu, 0xE00u, 0xFFEu, 0x000u, 0x1F801BFEu, 0x1F801E00u}) {
        core->writeRegister(address, 0xFFFF);
        EXPECT_EQ(core->readRegister(address), 0) << std::hex << address;
    }
    EXPECT_EQ(nonZeroShadowEntries(), 0);
    EXPECT_EQ(core->voice(0).getFixedVolumeLeft(), 0);
    // Only the low 12 bits name the register: these are voice 0's left volume and 0xDFE.
    core->writeRegister(0x1C00, 0x0123);
    EXPECT_EQ(core->voice(0).getFixedVolumeLeft(), 0x0123);
    EXPECT_EQ(core->readRegister(0xC00), 0x0123);
    core->writeRegister(0x3DFE, 0x0042);
    EXPECT_EQ(core->readRegister(0x1F801DFE), 0x0042);
}

}  // namespace
