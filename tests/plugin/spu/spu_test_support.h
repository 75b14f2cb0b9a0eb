#pragma once
// Fixture and helpers shared by the plug-in tests: a fresh simulation for every test, the plug-in
// shut down after it, and CD audio as a probe that shows exactly which frames a pass produced.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "spu_plugin.h"
#include "win32.h"

constexpr uint32_t kSpuBase = 0x1F801000;  // the console's SPU register addresses
constexpr uint32_t kDefaultBufferBytes = 8 * 1024;

class SpuPluginTest : public ::testing::Test {
protected:
    SpuPlugin& spu = SpuPlugin::get();

    void SetUp() override {
        ASSERT_EQ(spu.missing, "");
        resetSimulation();
    }
    void TearDown() override {
        spu.SPUclose();
        spu.SPUshutdown();
    }

    void write(uint32_t offset, uint16_t value) { spu.SPUwriteRegister(kSpuBase + offset, value); }
    uint16_t read(uint32_t offset) { return spu.SPUreadRegister(kSpuBase + offset); }

    void initAndOpen() {
        spu.SPUinit();
        spu.SPUopen();
        settle();
    }

    // CD audio at full volume on both sides, fed as one mono 44100 Hz block whose sample i is
    // first + i. The decoded volume is 0x7FFF, so frame i comes out as
    // (first + i) * 0x7FFF >> 15 = first + i - 1 on both sides (for 1 <= first + i < 32768).
    void feedCdRamp(int16_t first, int32_t count) {
        write(0xDB0, 0x7FFF);
        write(0xDB2, 0x7FFF);
        auto record = std::make_unique<XaDecodeRecord>();
        std::memset(record.get(), 0, sizeof(XaDecodeRecord));
        record->frequency = 44100;
        record->bits = 16;
        record->stereo = 0;
        record->sampleCount = count;
        for (int32_t i = 0; i < count; ++i) record->pcm[i] = static_cast<int16_t>(first + i);
        spu.SPUplayADPCMchannel(record.get());
    }

    // Left and right sample of the frame at a byte offset of the streaming buffer.
    static int16_t sampleAt(const std::vector<uint8_t>& buffer, uint32_t byteOffset) {
        int16_t v = 0;
        std::memcpy(&v, buffer.data() + byteOffset, sizeof(v));
        return v;
    }
};
