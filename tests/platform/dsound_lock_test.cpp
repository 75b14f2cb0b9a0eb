// Lock and Unlock on the streaming buffer: the two regions exactly as DirectSound gives them.
#include "dsound_fixture.h"

namespace {

struct Regions {
    HRESULT result;
    uint8_t* first;
    DWORD firstBytes;
    uint8_t* second;
    DWORD secondBytes;
};

Regions lock(LPDIRECTSOUNDBUFFER buffer, DWORD offset, DWORD bytes, DWORD flags = 0) {
    LPVOID first = reinterpret_cast<LPVOID>(1);  // garbage, to see what Lock writes
    LPVOID second = reinterpret_cast<LPVOID>(1);
    DWORD firstBytes = 77;
    DWORD secondBytes = 77;
    const HRESULT hr = buffer->Lock(offset, bytes, &first, &firstBytes, &second, &secondBytes, flags);
    return {hr, static_cast<uint8_t*>(first), firstBytes, static_cast<uint8_t*>(second), secondBytes};
}

}  // namespace

TEST_F(DsoundTest, LockInsideTheBufferGivesOneRegion) {
    openStream();
    const Regions all = lock(stream, 0, kBufferBytes);
    ASSERT_EQ(all.result, DS_OK);
    EXPECT_EQ(all.firstBytes, kBufferBytes);
    EXPECT_EQ(all.second, nullptr);
    EXPECT_EQ(all.secondBytes, 0u);

    const Regions middle = lock(stream, 1000, 500);
    ASSERT_EQ(middle.result, DS_OK);
    EXPECT_EQ(middle.first, all.first + 1000);
    EXPECT_EQ(middle.firstBytes, 500u);
    EXPECT_EQ(middle.second, nullptr);

    // Up to the very end: still no second region.
    const Regions tail = lock(stream, 8000, 192);
    ASSERT_EQ(tail.result, DS_OK);
    EXPECT_EQ(tail.first, all.first + 8000);
    EXPECT_EQ(tail.firstBytes, 192u);
    EXPECT_EQ(tail.second, nullptr);
    EXPECT_EQ(tail.secondBytes, 0u);
}

TEST_F(DsoundTest, LockAcrossTheEndWrapsToTheStart) {
    openStream();
    const Regions all = lock(stream, 0, kBufferBytes);
    // 8000 + 400 runs 208 bytes past the 8192-byte end.
    const Regions wrapped = lock(stream, 8000, 400);
    ASSERT_EQ(wrapped.result, DS_OK);
    EXPECT_EQ(wrapped.first, all.first + 8000);
    EXPECT_EQ(wrapped.firstBytes, 192u);
    EXPECT_EQ(wrapped.second, all.first);
    EXPECT_EQ(wrapped.secondBytes, 208u);

    // The whole buffer from the middle: two halves.
    const Regions lap = lock(stream, 4096, kBufferBytes);
    ASSERT_EQ(lap.result, DS_OK);
    EXPECT_EQ(lap.firstBytes, 4096u);
    EXPECT_EQ(lap.secondBytes, 4096u);
    EXPECT_EQ(lap.second, all.first);
}

TEST_F(DsoundTest, LockRefusesWhatDoesNotFit) {
    openStream();
    const Regions tooLong = lock(stream, 0, kBufferBytes + 1);
    EXPECT_EQ(tooLong.result, DSERR_INVALIDPARAM);
    EXPECT_EQ(tooLong.first, nullptr);  // a refused Lock hands out nothing
    EXPECT_EQ(tooLong.firstBytes, 0u);
    EXPECT_EQ(lock(stream, kBufferBytes, 4).result, DSERR_INVALIDPARAM);  // offset past the end

    // A wrapping span needs somewhere to put region 2.
    LPVOID first = nullptr;
    DWORD firstBytes = 0;
    EXPECT_EQ(stream->Lock(8000, 400, &first, &firstBytes, nullptr, nullptr, 0), DSERR_INVALIDPARAM);
    EXPECT_EQ(stream->Lock(1000, 400, &first, &firstBytes, nullptr, nullptr, 0), DS_OK);
    EXPECT_EQ(firstBytes, 400u);
}

TEST_F(DsoundTest, LockOfNoBytesGivesAnEmptyRegionAtTheOffset) {
    openStream();
    const Regions all = lock(stream, 0, kBufferBytes);
    const Regions empty = lock(stream, 1234, 0);
    ASSERT_EQ(empty.result, DS_OK);
    EXPECT_EQ(empty.first, all.first + 1234);
    EXPECT_EQ(empty.firstBytes, 0u);
    EXPECT_EQ(empty.second, nullptr);
    EXPECT_EQ(empty.secondBytes, 0u);
    EXPECT_EQ(stream->Unlock(empty.first, 0, nullptr, 0), DS_OK);
}

TEST_F(DsoundTest, UnlockTakesBackWhatLockGaveAndNothingElse) {
    openStream();
    const Regions wrapped = lock(stream, 8000, 400);
    EXPECT_EQ(stream->Unlock(wrapped.first, wrapped.firstBytes, wrapped.second, wrapped.secondBytes),
              DS_OK);
    // Fewer bytes than locked is what a caller that wrote less reports: fine.
    EXPECT_EQ(stream->Unlock(wrapped.first, 0, nullptr, 0), DS_OK);

    uint8_t elsewhere[16];
    EXPECT_EQ(stream->Unlock(elsewhere, 16, nullptr, 0), DSERR_INVALIDPARAM);
    EXPECT_EQ(stream->Unlock(wrapped.first, 193, nullptr, 0), DSERR_INVALIDPARAM);  // past the end
    EXPECT_EQ(stream->Unlock(wrapped.first, 192, wrapped.second + 4, 8), DSERR_INVALIDPARAM);

    const sim::DsoundStats stats = sim::dsoundStats();
    EXPECT_EQ(stats.lockCalls, 1);
    EXPECT_EQ(stats.unlockCalls, 5);
    EXPECT_EQ(stats.lastLockOffset, 8000u);
    EXPECT_EQ(stats.lastLockBytes, 400u);
}

TEST_F(DsoundTest, WrittenBytesAreTheBufferContents) {
    openStream();
    const Regions wrapped = lock(stream, 8190, 4);
    ASSERT_EQ(wrapped.result, DS_OK);
    std::memcpy(wrapped.first, "\x11\x22", 2);
    std::memcpy(wrapped.second, "\x33\x44", 2);
    ASSERT_EQ(stream->Unlock(wrapped.first, 2, wrapped.second, 2), DS_OK);

    const std::vector<uint8_t> contents = sim::dsoundStreamBufferContents();
    ASSERT_EQ(contents.size(), kBufferBytes);
    EXPECT_EQ(contents[8190], 0x11);
    EXPECT_EQ(contents[8191], 0x22);
    EXPECT_EQ(contents[0], 0x33);
    EXPECT_EQ(contents[1], 0x44);
    EXPECT_EQ(contents[2], 0x00);  // a new buffer holds silence

    // Still readable after the buffer is gone: tests look at it after SPUclose.
    stream->Release();
    stream = nullptr;
    EXPECT_EQ(sim::dsoundStreamBufferContents(), contents);
}
