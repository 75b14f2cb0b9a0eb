#pragma once
// A device, a primary buffer and a looping streaming buffer in the shape the sound plug-in makes
// them, on a fresh simulation, released after each test.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "sim/sim.h"
#include "win32.h"

inline WAVEFORMATEX streamFormat() {
    WAVEFORMATEX format{};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = 2;
    format.nSamplesPerSec = 44100;
    format.nAvgBytesPerSec = 176400;
    format.nBlockAlign = 4;
    format.wBitsPerSample = 16;
    return format;
}

class DsoundTest : public ::testing::Test {
protected:
    static constexpr DWORD kBufferBytes = 8192;  // the plug-in's default, 8 KiB

    LPDIRECTSOUND device = nullptr;
    LPDIRECTSOUNDBUFFER primary = nullptr;
    LPDIRECTSOUNDBUFFER stream = nullptr;
    WAVEFORMATEX format = streamFormat();

    void SetUp() override { sim::dsoundReset(); }

    void TearDown() override {
        if (stream != nullptr) stream->Release();
        if (primary != nullptr) primary->Release();
        if (device != nullptr) device->Release();
        sim::dsoundReset();
    }

    DSBUFFERDESC streamDescription(DWORD bytes = kBufferBytes) {
        DSBUFFERDESC description{};
        description.dwSize = sizeof(DSBUFFERDESC);
        description.dwFlags = DSBCAPS_GETCURRENTPOSITION2 | DSBCAPS_GLOBALFOCUS;
        description.dwBufferBytes = bytes;
        description.lpwfxFormat = &format;
        return description;
    }

    void openDevice() {
        ASSERT_EQ(DirectSoundCreate(nullptr, &device, nullptr), DS_OK);
        ASSERT_EQ(device->SetCooperativeLevel(nullptr, DSSCL_PRIORITY), DS_OK);
    }

    // Device, priority level and a playing looping streaming buffer of `bytes`.
    void openStream(DWORD bytes = kBufferBytes) {
        openDevice();
        const DSBUFFERDESC description = streamDescription(bytes);
        ASSERT_EQ(device->CreateSoundBuffer(&description, &stream, nullptr), DS_OK);
        ASSERT_EQ(stream->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
    }

    DWORD playCursor() {
        DWORD play = 0xDEAD;
        EXPECT_EQ(stream->GetCurrentPosition(&play, nullptr), DS_OK);
        return play;
    }

    // Writes byte (i & 0xFF) at every offset i of the streaming buffer, through Lock.
    void fillWithOffsets() {
        LPVOID first = nullptr;
        LPVOID second = nullptr;
        DWORD firstBytes = 0;
        DWORD secondBytes = 0;
        ASSERT_EQ(stream->Lock(0, 0, &first, &firstBytes, &second, &secondBytes,
                               DSBLOCK_ENTIREBUFFER),
                  DS_OK);
        auto* bytes = static_cast<uint8_t*>(first);
        for (DWORD i = 0; i < firstBytes; ++i) bytes[i] = static_cast<uint8_t>(i);
        ASSERT_EQ(stream->Unlock(first, firstBytes, second, secondBytes), DS_OK);
    }
};
