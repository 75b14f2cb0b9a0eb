// The play cursor under a test's hand, and the capture of what it passes.
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

#include "dsound_fixture.h"

namespace {

std::vector<uint8_t> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

uint32_t le32(const std::vector<uint8_t>& bytes, size_t at) {
    return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 | static_cast<uint32_t>(bytes[at + 3]) << 24;
}

uint16_t le16(const std::vector<uint8_t>& bytes, size_t at) {
    return static_cast<uint16_t>(bytes[at] | bytes[at + 1] << 8);
}

std::string capturePath(const char* name) {
    return ::testing::TempDir() + "sim_" + name + ".wav";
}

}  // namespace

TEST_F(DsoundTest, ManualCursorMovesOnlyWhenMoved) {
    sim::dsoundSetCursorMode(sim::CursorMode::Manual);
    openStream();
    EXPECT_EQ(playCursor(), 0u);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(playCursor(), 0u);

    sim::dsoundAdvancePlayCursor(1000);
    EXPECT_EQ(playCursor(), 1000u);
    sim::dsoundAdvancePlayCursor(7500);  // 8500 wraps to 308
    EXPECT_EQ(playCursor(), 308u);
    sim::dsoundSetPlayCursor(8192 + 40);  // absolute, modulo the size
    EXPECT_EQ(playCursor(), 40u);

    // The write cursor runs 1764 bytes (10 ms) ahead while playing, also across the end.
    DWORD play = 0;
    DWORD write = 0;
    sim::dsoundSetPlayCursor(8000);
    ASSERT_EQ(stream->GetCurrentPosition(&play, &write), DS_OK);
    EXPECT_EQ(play, 8000u);
    EXPECT_EQ(write, (8000u + 1764u) % 8192u);

    // A stopped buffer's cursor stays put, and its write cursor is the play cursor.
    ASSERT_EQ(stream->Stop(), DS_OK);
    sim::dsoundAdvancePlayCursor(100);
    ASSERT_EQ(stream->GetCurrentPosition(&play, &write), DS_OK);
    EXPECT_EQ(play, 8000u);
    EXPECT_EQ(write, 8000u);
    EXPECT_FALSE(sim::dsoundStats().streamPlaying);

    EXPECT_EQ(sim::dsoundStats().getCurrentPositionCalls, 7);
}

TEST_F(DsoundTest, ClockCursorRunsWhilePlayingAndStopsWithStop) {
    openStream();  // Clock is the default mode
    const DWORD start = playCursor();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const DWORD later = playCursor();
    EXPECT_NE(later, start);
    EXPECT_EQ(later % 4, 0u);  // whole frames

    ASSERT_EQ(stream->Stop(), DS_OK);
    const DWORD stopped = playCursor();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(playCursor(), stopped);

    // Switching to Manual freezes a playing cursor where the clock had it.
    ASSERT_EQ(stream->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
    sim::dsoundSetCursorMode(sim::CursorMode::Manual);
    const DWORD frozen = playCursor();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(playCursor(), frozen);
}

TEST_F(DsoundTest, CaptureHoldsExactlyTheBytesTheCursorPassed) {
    sim::dsoundSetCursorMode(sim::CursorMode::Manual);
    openStream();
    fillWithOffsets();
    const std::string path = capturePath("manual");
    sim::dsoundCaptureToWav(path);

    sim::dsoundAdvancePlayCursor(100);  // bytes 0..99
    sim::dsoundSetPlayCursor(8000);     // bytes 100..7999
    sim::dsoundAdvancePlayCursor(292);  // 8000..8191, then 0..99 again
    stream->Release();                      // finishes the file
    stream = nullptr;

    const std::vector<uint8_t> wav = readFile(path);
    const uint32_t dataBytes = 100 + 7900 + 292;  // 8292
    ASSERT_EQ(wav.size(), 44u + dataBytes);
    EXPECT_EQ(std::string(wav.begin(), wav.begin() + 4), "RIFF");
    EXPECT_EQ(le32(wav, 4), 36u + dataBytes);
    EXPECT_EQ(std::string(wav.begin() + 8, wav.begin() + 16), "WAVEfmt ");
    EXPECT_EQ(le32(wav, 16), 16u);
    EXPECT_EQ(le16(wav, 20), 1u);       // PCM
    EXPECT_EQ(le16(wav, 22), 2u);       // stereo
    EXPECT_EQ(le32(wav, 24), 44100u);
    EXPECT_EQ(le32(wav, 28), 176400u);  // 44100 frames of 4 bytes
    EXPECT_EQ(le16(wav, 32), 4u);
    EXPECT_EQ(le16(wav, 34), 16u);
    EXPECT_EQ(std::string(wav.begin() + 36, wav.begin() + 40), "data");
    EXPECT_EQ(le32(wav, 40), dataBytes);

    // Capture byte k came from buffer offset k for the first 8192, then 0.. again.
    for (uint32_t k = 0; k < dataBytes; ++k)
        ASSERT_EQ(wav[44 + k], static_cast<uint8_t>(k % 8192)) << "capture byte " << k;
    std::remove(path.c_str());
}

TEST_F(DsoundTest, AnAdvanceOfMoreThanTheBufferCapturesWholeLaps) {
    sim::dsoundSetCursorMode(sim::CursorMode::Manual);
    openStream(16);
    fillWithOffsets();
    const std::string path = capturePath("laps");
    sim::dsoundCaptureToWav(path);
    sim::dsoundAdvancePlayCursor(4);
    sim::dsoundAdvancePlayCursor(40);  // from 4: two and a half laps, ends at 12
    EXPECT_EQ(playCursor(), 12u);
    sim::dsoundStopCapture();

    const std::vector<uint8_t> wav = readFile(path);
    ASSERT_EQ(wav.size(), 44u + 44u);
    EXPECT_EQ(le32(wav, 40), 44u);
    for (uint32_t k = 0; k < 44; ++k) EXPECT_EQ(wav[44 + k], k % 16) << k;

    // After the stop nothing more is appended.
    sim::dsoundAdvancePlayCursor(8);
    EXPECT_EQ(readFile(path).size(), 88u);
    std::remove(path.c_str());
}

TEST_F(DsoundTest, ClockCaptureGrowsByWholeFramesAndIsFinishedOnReset) {
    openStream();
    const std::string path = capturePath("clock");
    sim::dsoundCaptureToWav(path);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    playCursor();
    sim::dsoundReset();

    const std::vector<uint8_t> wav = readFile(path);
    ASSERT_GE(wav.size(), 44u);
    const uint32_t dataBytes = le32(wav, 40);
    EXPECT_GT(dataBytes, 0u);
    EXPECT_EQ(dataBytes % 4, 0u);
    EXPECT_EQ(wav.size(), 44u + dataBytes);
    EXPECT_EQ(le32(wav, 4), 36u + dataBytes);
    std::remove(path.c_str());
}

TEST_F(DsoundTest, WaitForPassesCountsPositionCallsOnTheStream) {
    openStream();
    EXPECT_FALSE(sim::dsoundWaitForPasses(1, 10));  // nobody asks: times out
    std::atomic<bool> stop{false};
    std::thread streamer([this, &stop] {
        while (!stop.load()) {
            DWORD play = 0;
            stream->GetCurrentPosition(&play, nullptr);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    const bool seen = sim::dsoundWaitForPasses(3, 5000);
    stop.store(true);
    streamer.join();
    EXPECT_TRUE(seen);
    EXPECT_GE(sim::dsoundStats().getCurrentPositionCalls, 3);
    // Calls on another buffer are not passes of the stream.
    const int before = sim::dsoundStats().getCurrentPositionCalls;
    DWORD play = 0;
    DSBUFFERDESC description{};
    description.dwSize = sizeof description;
    description.dwFlags = DSBCAPS_PRIMARYBUFFER;
    ASSERT_EQ(device->CreateSoundBuffer(&description, &primary, nullptr), DS_OK);
    primary->GetCurrentPosition(&play, nullptr);
    EXPECT_EQ(sim::dsoundStats().getCurrentPositionCalls, before);
}

TEST_F(DsoundTest, CaptureIsFinishedWhenTheProcessExits) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const std::string path = capturePath("exit");
    std::remove(path.c_str());
    // A host that exits with the plug-in still open: the file must still be a complete WAV.
    EXPECT_EXIT(
        {
            sim::dsoundSetCursorMode(sim::CursorMode::Manual);
            openStream();
            sim::dsoundCaptureToWav(path);
            sim::dsoundAdvancePlayCursor(400);
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "");
    const std::vector<uint8_t> wav = readFile(path);
    ASSERT_EQ(wav.size(), 44u + 400u);
    EXPECT_EQ(le32(wav, 4), 36u + 400u);
    EXPECT_EQ(le32(wav, 40), 400u);
    std::remove(path.c_str());
}
