// spuTarnExact through its exports, as a host: the interrupt reaches the registered callback
// once per rise, on the host's thread, inside the call that caused it; SPUasync runs exactly
// (carry + cycles) / 768 ticks; a save state continues bit for bit in a fresh plug-in, and a
// record that is not its own loads nothing. The plug-in stays closed: no streaming pass runs
// the chip, only the host's calls do.
#include <algorithm>
#include <fstream>
#include <sstream>
#include <thread>

#include "spu_test_support.h"

namespace {

int interrupts = 0;
bool flagSeenInCallback = false;
std::thread::id callbackThread;

void onInterrupt() {
    ++interrupts;
    callbackThread = std::this_thread::get_id();
    // The callback may call back into the plug-in: the flag is up while it runs.
    flagSeenInCallback = (SpuPlugin::get().SPUreadRegister(kSpuBase + 0xDAE) & 0x40) != 0;
}

class ExactHostTest : public SpuPluginTest {
protected:
    void SetUp() override {
        SpuPluginTest::SetUp();
        restart();
    }
    void restart() {  // a fresh plug-in with the callback registered
        spu.SPUshutdown();
        spu.SPUinit();
        interrupts = 0;
        spu.SPUregisterCallback(reinterpret_cast<uintptr_t>(&onInterrupt));
    }
    void armIrq(uint16_t address) {
        write(0xDA4, address);
        write(0xDAA, 0x8000);  // writing 0 to bit 6 acknowledges
        write(0xDAA, 0x8040);  // chip and IRQ enabled
    }
    long freeze(uint32_t mode, std::vector<uint8_t>& record) {
        return spu.SPUfreeze(mode, reinterpret_cast<FreezeRecord*>(record.data()));
    }
    std::vector<uint8_t> save() {
        std::vector<uint8_t> record(16);  // a query touches the header only
        freeze(FreezeQuery, record);
        uint32_t size = 0;
        std::memcpy(&size, record.data() + 12, 4);
        record.assign(size, 0xAA);
        EXPECT_EQ(freeze(FreezeSave, record), 1);
        return record;
    }
};

TEST_F(ExactHostTest, ItsOwnNameAndSettingsFile) {
    EXPECT_STREQ(spu.PSEgetLibName(), "Tarn's Exact Sound Driver");
    // SPUinit made its key, in a file of its own; spuTarn's is not touched.
    const char* key = "Software\\Vision Thing\\PSEmu Pro\\SPU\\spuTarnExact";
    EXPECT_TRUE(std::ifstream(sim::settingsFilePath(key)).good());
    EXPECT_FALSE(std::ifstream(sim::settingsFilePath()).good());
}

// The cases and their arithmetic are in data/exact_clock.txt.
TEST_F(ExactHostTest, AsyncRunsTheTicksTheCyclesCompleteAndTheInterruptFiresInsideIt) {
    std::ifstream in(PLUGIN_TEST_DATA "/exact_clock.txt");
    int cases = 0;
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') continue;
        SCOPED_TRACE(line);
        ++cases;
        std::istringstream row(line);
        std::vector<uint32_t> cycles;
        std::vector<int> expected, rising;
        for (std::string w; row >> w && w != "|";)
            cycles.push_back(static_cast<uint32_t>(std::stoul(w)));
        for (std::string w; row >> w && w != "|";) expected.push_back(std::stoi(w));
        restart();
        write(0xDAC, 0x0004);
        armIrq(0x90);
        for (int call = 1; call <= expected.back(); ++call) {
            const int before = interrupts;
            flagSeenInCallback = false;
            spu.SPUasync(cycles[std::min(static_cast<size_t>(call), cycles.size()) - 1]);
            if (interrupts == before) continue;
            ASSERT_EQ(interrupts, before + 1) << "call " << call;
            EXPECT_EQ(callbackThread, std::this_thread::get_id());
            EXPECT_TRUE(flagSeenInCallback);
            rising.push_back(call);
            armIrq(0x90);
        }
        EXPECT_EQ(rising, expected);
    }
    EXPECT_EQ(cases, 5);
}

// A host that never calls SPUasync: the streaming pass runs the chip, and a rise it makes waits
// for the host's next call (here a register read), since that thread never calls the host.
TEST_F(ExactHostTest, RiseOnTheDevicesClockReachesTheHostAtItsNextCall) {
    write(0xDAC, 0x0004);
    armIrq(0x90);  // ticks 65 to 68, as in data/exact_clock.txt
    spu.SPUopen();
    advanceAndSettle(100 * 4);
    EXPECT_EQ(interrupts, 0);
    EXPECT_EQ(read(0xDAE) & 0x40, 0x40);
    EXPECT_EQ(interrupts, 1);
    EXPECT_EQ(callbackThread, std::this_thread::get_id());
}

// IRQ address 0x200 is bytes 0x1000..0x1007; transfers start at 0xFF8 (transfer address 0x1FF).
TEST_F(ExactHostTest, TransfersRaiseTheInterruptOncePerCrossingInsideTheCall) {
    armIrq(0x200);
    std::vector<uint16_t> words(16, 0x1234);
    // Each step: acknowledge first?, the transfer, the rises it makes.
    const auto step = [&](bool acknowledge, int rises, const char* what, auto transfer) {
        if (acknowledge) armIrq(0x200);
        const int before = interrupts;
        transfer();
        EXPECT_EQ(interrupts - before, rises) << what;
    };
    step(false, 1, "DMA write across it", [&] { spu.uploadWords(0xFF8, words.data(), 16); });
    step(false, 0, "again, unacknowledged", [&] { spu.uploadWords(0xFF8, words.data(), 16); });
    step(true, 1, "DMA read across it", [&] { spu.downloadWords(0xFF8, words.data(), 16); });
    step(true, 0, "DMA write short of it", [&] { spu.uploadWords(0xFF8, words.data(), 4); });
    step(false, 1, "data-port word into it", [&] { spu.SPUwriteDMA(0x5555); });
    step(true, 1, "data-port read of it", [&] {
        write(0xDA6, 0x200);
        spu.SPUreadDMA();
    });
}

TEST_F(ExactHostTest, SaveStateMidNoteContinuesBitForBitInAFreshPlugin) {
    // Voice 1 loops two ADPCM blocks (loop start on the first, end and repeat on the second) at
    // pitch 0x0C00 under an exponential attack and sustain; its capture ring at 0x800 holds what
    // it played in the last 512 ticks.
    std::vector<uint16_t> blocks(16, 0x3C5A);
    blocks[0] = 0x0400;
    blocks[8] = 0x0300;
    spu.uploadWords(0x2000, blocks.data(), 16);
    const uint16_t voice[6] = {0x3FFF, 0x3FFF, 0x0C00, 0x0400, 0xA8C7, 0xC08A};
    for (int r = 0; r < 6; ++r) write(0xC10 + 2 * r, voice[r]);
    write(0xDAA, 0xC000);
    write(0xDAC, 0x0004);
    write(0xD88, 0x0002);
    spu.SPUasync(1000 * 768 + 384);  // 1000 ticks, 384 cycles carried
    auto state = save();

    // 600 * 768 + 384 cycles complete 601 ticks only with the carry.
    auto playOn = [&] {
        spu.SPUasync(600 * 768 + 384);
        std::vector<uint16_t> ring(512);
        spu.downloadWords(0x800, ring.data(), 512);
        return std::make_pair(ring, save());
    };
    const auto original = playOn();
    spu.SPUshutdown();
    spu.SPUinit();
    ASSERT_EQ(freeze(FreezeLoad, state), 1);
    const auto restored = playOn();
    EXPECT_NE(std::count(original.first.begin(), original.first.end(), 0), 512) << "no note";
    EXPECT_EQ(restored.first, original.first);
    EXPECT_EQ(restored.second, original.second);
}

TEST_F(ExactHostTest, RecordsNotItsOwnLoadNothing) {
    write(0xC00, 0x1111);
    auto own = save();
    const uint32_t size = static_cast<uint32_t>(own.size());
    std::vector<uint8_t> query(32, 0xAA);  // a query fills the 16-byte header only
    EXPECT_EQ(freeze(FreezeQuery, query), 1);
    EXPECT_EQ(std::memcmp(query.data(), own.data(), 7), 0);  // "TRELKX" and its NUL
    EXPECT_EQ(std::memcmp(query.data() + 8, own.data() + 8, 8), 0);  // version and size
    EXPECT_EQ(std::count(query.begin() + 16, query.end(), 0xAA), 16);

    // spuTarn's tag "TRELK", version 2, sizes other than its own.
    std::vector<std::vector<uint8_t>> refused(5, own);
    refused[0][5] = 0;
    const uint32_t patches[4][2] = {{8, 2}, {12, size - 4}, {12, 1000}, {12, size + 4}};
    for (int i = 0; i < 4; ++i)
        std::memcpy(refused[i + 1].data() + patches[i][0], &patches[i][1], 4);
    write(0xC00, 0x2222);
    const auto before = save();
    for (auto& r : refused) {
        r.resize(size + 4, 0);
        EXPECT_EQ(freeze(FreezeLoad, r), 0);
        EXPECT_EQ(save(), before);
    }
    EXPECT_EQ(freeze(FreezeLoad, own), 1);
    EXPECT_EQ(read(0xC00), 0x1111);
}

}  // namespace
