// A streaming thread in the plug-in's manner (position, Lock, fill, Unlock) against a test
// thread that moves the cursor and captures: the pairing the plug-in tests run, here with a
// known writer, so the capture can be checked frame by frame. Meant for ThreadSanitizer too.
#include <atomic>
#include <cstdio>
#include <fstream>
#include <iterator>

#include "dsound_fixture.h"

namespace {

struct Streamer {
    LPDIRECTSOUNDBUFFER buffer = nullptr;
    CRITICAL_SECTION* lock = nullptr;  // stands for the plug-in's global lock
    std::atomic<bool> stop{false};
    uint32_t bufferBytes = 0;
    uint32_t writePosition = 0;
    uint16_t nextFrame = 0;  // frame counter written into both samples

    void pass() {
        DWORD play = 0;
        buffer->GetCurrentPosition(&play, nullptr);
        const uint32_t played = (play + bufferBytes - writePosition) % bufferBytes;
        LPVOID first = nullptr;
        LPVOID second = nullptr;
        DWORD firstBytes = 0;
        DWORD secondBytes = 0;
        if (FAILED(buffer->Lock(writePosition, played, &first, &firstBytes, &second, &secondBytes, 0)))
            return;
        EnterCriticalSection(lock);
        auto* samples = static_cast<uint16_t*>(first);
        for (DWORD i = 0; i < firstBytes / 4; ++i) {
            samples[2 * i] = nextFrame;
            samples[2 * i + 1] = nextFrame;
            ++nextFrame;
        }
        LeaveCriticalSection(lock);
        buffer->Unlock(first, firstBytes, second, secondBytes);
        writePosition = (writePosition + firstBytes) % bufferBytes;
    }
};

DWORD WINAPI streamingThread(LPVOID parameter) {
    auto* streamer = static_cast<Streamer*>(parameter);
    while (!streamer->stop.load()) {
        Sleep(1);
        streamer->pass();
    }
    return 0;
}

}  // namespace

TEST_F(DsoundTest, CaptureFromAManualCursorShowsEveryFrameOnceALapLater) {
    sim::dsoundSetCursorMode(sim::CursorMode::Manual);
    openStream();
    const std::string path = ::testing::TempDir() + "sim_streaming.wav";
    sim::dsoundCaptureToWav(path);

    CRITICAL_SECTION lock;
    InitializeCriticalSection(&lock);
    Streamer streamer;
    streamer.buffer = stream;
    streamer.lock = &lock;
    streamer.bufferBytes = kBufferBytes;
    HANDLE thread = CreateThread(nullptr, 0, streamingThread, &streamer, 0, nullptr);
    ASSERT_NE(thread, nullptr);

    // 200 steps of 16 frames; each waits for a pass that saw it, as the plug-in tests do.
    constexpr int kSteps = 200;
    constexpr uint32_t kStepBytes = 64;
    for (int step = 0; step < kSteps; ++step) {
        sim::dsoundAdvancePlayCursor(kStepBytes);
        ASSERT_TRUE(sim::dsoundWaitForPasses(1));
    }
    streamer.stop.store(true);
    ASSERT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
    CloseHandle(thread);
    DeleteCriticalSection(&lock);
    sim::dsoundStopCapture();

    std::ifstream in(path, std::ios::binary);
    const std::vector<uint8_t> wav((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::remove(path.c_str());
    // 200 × 64 bytes passed: 3200 frames. The first lap (2048 frames of 8 KiB) plays the silence
    // the buffer started with; from then on frame k is what the writer wrote as frame k - 2048.
    ASSERT_EQ(wav.size(), 44u + kSteps * kStepBytes);
    const uint32_t frames = kSteps * kStepBytes / 4;
    const uint32_t lapFrames = kBufferBytes / 4;
    for (uint32_t k = 0; k < frames; ++k) {
        const uint32_t at = 44 + 4 * k;
        const uint16_t left = static_cast<uint16_t>(wav[at] | wav[at + 1] << 8);
        const uint16_t right = static_cast<uint16_t>(wav[at + 2] | wav[at + 3] << 8);
        const uint16_t expected = k < lapFrames ? 0 : static_cast<uint16_t>(k - lapFrames);
        ASSERT_EQ(left, expected) << "frame " << k;
        ASSERT_EQ(right, expected) << "frame " << k;
    }
}
