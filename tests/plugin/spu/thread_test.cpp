// The host's threads against the streaming thread on the simulation's real-time clock. Built as
// its own executable so that it can run alone under ThreadSanitizer: any unguarded access
// between an entry point and a streaming pass shows up there as a report.
#include <dlfcn.h>
#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#include "spu_test_support.h"

namespace {

class ThreadTest : public SpuPluginTest {
protected:
    void SetUp() override {
        SpuPluginTest::SetUp();
        sim::dsoundSetCursorMode(sim::CursorMode::Clock);
    }
};

// A voice that really plays, so that the passes touch voices, envelopes and the CD ring.
void startAVoice(SpuPlugin& spu) {
    std::vector<uint16_t> blocks(8 * 8, 0x7777);  // 8 blocks of noise-like data
    uint8_t* bytes = reinterpret_cast<uint8_t*>(blocks.data());
    bytes[0] = 0x04;        // shift 4, filter 0
    bytes[1] = 0x06;        // loop mark
    bytes[7 * 16 + 1] = 3;  // jump back to it
    spu.uploadWords(0x8000, blocks.data(), static_cast<int32_t>(blocks.size()));
    spu.SPUwriteRegister(kSpuBase + 0xC00, 0x3FFF);
    spu.SPUwriteRegister(kSpuBase + 0xC02, 0x3FFF);
    spu.SPUwriteRegister(kSpuBase + 0xC04, 0x1000);
    spu.SPUwriteRegister(kSpuBase + 0xC06, 0x8000 / 8);
    spu.SPUwriteRegister(kSpuBase + 0xC08, 0x00FF);
    spu.SPUwriteRegister(kSpuBase + 0xD88, 0x0001);
}

TEST_F(ThreadTest, HostCallsDuringStreamingLoseNoWrite) {
    spu.SPUinit();
    startAVoice(spu);
    spu.SPUopen();
    ASSERT_TRUE(sim::dsoundWaitForPasses(5));

    std::atomic<bool> failed{false};
    std::thread host([&] {
        std::vector<uint16_t> out(512), back(512);
        for (int round = 0; round < 300 && !failed; ++round) {
            for (size_t i = 0; i < out.size(); ++i)
                out[i] = static_cast<uint16_t>(round * 977 + static_cast<int>(i));
            // A region no voice plays from, so only the host writes it.
            spu.uploadWords(0x40000, out.data(), static_cast<int32_t>(out.size()));
            spu.downloadWords(0x40000, back.data(), static_cast<int32_t>(back.size()));
            if (back != out) failed = true;
            // Registers that no pass rewrites read back what was written.
            const uint16_t pitch = static_cast<uint16_t>(round & 0x3FFF);
            spu.SPUwriteRegister(kSpuBase + 0xC54, pitch);  // voice 5 pitch
            if (spu.SPUreadRegister(kSpuBase + 0xC54) != pitch) failed = true;
            spu.SPUwriteDMA(0x1234);
            (void)spu.SPUreadDMA();
            (void)spu.SPUreadRegister(kSpuBase + 0xC0C);  // refreshed by every pass
            (void)spu.SPUreadRegister(kSpuBase + 0xD9C);
            spu.SPUwriteRegister(kSpuBase + 0xD88, 0x0001);
            auto xa = std::make_unique<XaDecodeRecord>();
            std::memset(xa.get(), 0, sizeof(XaDecodeRecord));
            xa->frequency = 37800;
            xa->bits = 16;
            xa->stereo = 1;
            xa->sampleCount = 2016 * 4;
            spu.SPUplayADPCMchannel(xa.get());
        }
    });
    std::thread saver([&] {
        auto record = std::make_unique<FreezeRecord>();
        for (int i = 0; i < 20; ++i) {
            // Saves and queries only: a load would put back older sound RAM under the host.
            if (spu.SPUfreeze(FreezeSave, record.get()) != 1) failed = true;
            if (spu.SPUfreeze(FreezeQuery, record.get()) != 1) failed = true;
        }
    });
    host.join();
    saver.join();
    EXPECT_FALSE(failed);
    EXPECT_TRUE(sim::dsoundWaitForPasses(3));
    spu.SPUclose();
    EXPECT_TRUE(sim::threadsCreated().back().finished);
}

TEST_F(ThreadTest, RepeatedOpenCloseWhileAnotherHostThreadWrites) {
    spu.SPUinit();
    startAVoice(spu);
    std::atomic<bool> stop{false};
    std::thread writer([&] {
        uint16_t v = 0;
        while (!stop) {
            spu.SPUwriteRegister(kSpuBase + 0xC14, v++);
            (void)spu.SPUreadRegister(kSpuBase + 0xC1C);
        }
    });
    for (int cycle = 0; cycle < 25; ++cycle) {
        spu.SPUopen();
        sim::dsoundWaitForPasses(2);
        spu.SPUclose();
        ASSERT_TRUE(sim::threadsCreated().back().finished) << cycle;
        ASSERT_EQ(sim::dsoundStats().buffersAlive, 0) << cycle;
    }
    stop = true;
    writer.join();
    EXPECT_EQ(sim::threadsCreated().size(), 25u);
}

// The Linux host calls SPUclose from its SIGINT handler on the emulation thread, which may be
// inside a locked entry point at that moment. Here that moment is made certain: the second page
// of a DMA upload is unreadable, so the upload faults half-way with the global lock held, and
// the fault handler does what the host's SIGINT handler does. A pass that waited for the lock
// would never end, and SPUclose would wait for it for ever; the alarm turns such a hang into a
// failure. The handler may also call SPUshutdown: the upload resumes on the core afterwards, so
// it must still be there.
struct Interruption {
    SpuPlugin* spu = nullptr;
    uint8_t* guardedPage = nullptr;
    size_t pageSize = 0;
    bool alsoShutdown = false;
    bool closed = false;
};
Interruption interruption;

void hostSignalHandler(int, siginfo_t*, void*) {
    // Let the streaming thread's next pass reach the lock this thread holds.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    interruption.spu->SPUclose();
    if (interruption.alsoShutdown) interruption.spu->SPUshutdown();
    interruption.closed = true;
    mprotect(interruption.guardedPage, interruption.pageSize, PROT_READ | PROT_WRITE);
}

TEST_F(ThreadTest, CloseFromASignalHandlerInsideALockedCallReturns) {
    const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    for (bool alsoShutdown : {false, true}) {
        SCOPED_TRACE(alsoShutdown ? "SPUclose and SPUshutdown" : "SPUclose");
        spu.SPUinit();
        spu.SPUopen();
        ASSERT_TRUE(sim::dsoundWaitForPasses(3));

        void* memory = mmap(nullptr, 2 * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS,
                            -1, 0);
        ASSERT_NE(memory, MAP_FAILED);
        auto* words = static_cast<uint16_t*>(memory);
        const int32_t count = static_cast<int32_t>(page);  // two pages of 16-bit words
        for (int32_t i = 0; i < count; ++i) words[i] = static_cast<uint16_t>(i * 7 + 3);
        interruption = Interruption{&spu, static_cast<uint8_t*>(memory) + page, page,
                                    alsoShutdown, false};
        mprotect(interruption.guardedPage, page, PROT_NONE);

        struct sigaction action = {};
        struct sigaction previous = {};
        action.sa_sigaction = hostSignalHandler;
        action.sa_flags = SA_SIGINFO;
        sigemptyset(&action.sa_mask);
        ASSERT_EQ(sigaction(SIGSEGV, &action, &previous), 0);
        alarm(20);  // a hang ends the test run with SIGALRM
        spu.uploadWords(0, words, count);
        alarm(0);
        sigaction(SIGSEGV, &previous, nullptr);

        EXPECT_TRUE(interruption.closed);
        EXPECT_TRUE(sim::threadsCreated().back().finished);
        EXPECT_EQ(sim::dsoundStats().buffersAlive, 0);
        // The interrupted upload finished on the live core after the handler returned.
        std::vector<uint16_t> back(static_cast<size_t>(count));
        spu.downloadWords(0, back.data(), count);
        EXPECT_EQ(std::memcmp(back.data(), words, page * 2), 0);
        spu.SPUshutdown();
        munmap(memory, 2 * page);
    }
}

// A streaming thread that gets no processor for longer than SPUclose waits (held here inside a
// pass). Closing must silence the device at once; the next SPUopen finishes the close once the
// thread has ended and opens normally; and SPUshutdown beside a living thread must leave the
// library mapped, since the host unloads it next. The library is a copy of its own, so that the
// test can unload it as a host would.
TEST_F(ThreadTest, CloseThatGivesUpSilencesAndAfterwardsOpenOrUnloadAreSafe) {
    const auto copy =
        std::filesystem::temp_directory_path() / ("spuTarn-" + std::to_string(getpid()) + ".so");
    std::filesystem::copy_file(SPU_PLUGIN_PATH, copy,
                               std::filesystem::copy_options::overwrite_existing);
    SpuPlugin held = SpuPlugin::load(copy.c_str());
    const auto closeInsideAHeldPass = [&] {
        ASSERT_TRUE(sim::dsoundWaitForPasses(2));
        sim::dsoundHoldPasses(true);
        // The next pass now stands still, and SPUclose gives up after its wait.
        ASSERT_TRUE(sim::dsoundWaitForPasses(1));
        held.SPUclose();
    };
    held.SPUinit();
    held.SPUopen();
    closeInsideAHeldPass();
    EXPECT_FALSE(sim::threadsCreated().back().finished);
    EXPECT_FALSE(sim::dsoundStats().streamPlaying) << "the last buffer loops on";
    EXPECT_EQ(sim::dsoundStats().buffersAlive, 2);  // still the thread's to write into

    sim::dsoundHoldPasses(false);
    held.SPUopen();
    ASSERT_EQ(sim::threadsCreated().size(), 2u)
        << "the open after the close that gave up did nothing";
    EXPECT_TRUE(sim::threadsCreated()[0].finished);
    EXPECT_TRUE(sim::dsoundStats().streamPlaying);
    EXPECT_EQ(sim::dsoundStats().buffersAlive, 2);  // the old pair released, a new pair made

    closeInsideAHeldPass();
    held.SPUshutdown();
    dlclose(held.handle);
    EXPECT_NE(dlopen(copy.c_str(), RTLD_NOW | RTLD_NOLOAD), nullptr) << "unloaded under the thread";
    sim::dsoundHoldPasses(false);  // the thread runs on in the library and ends
    for (int wait = 0; wait < 500 && !sim::threadsCreated().back().finished; ++wait) Sleep(10);
    EXPECT_TRUE(sim::threadsCreated().back().finished);
    std::filesystem::remove(copy);
}

}  // namespace
