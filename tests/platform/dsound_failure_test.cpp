// Armed failures, the lost buffer, the checks a device makes on descriptors and formats, and
// what dsoundReset keeps.
#include "dsound_fixture.h"

TEST_F(DsoundTest, AnArmedFailureHitsTheNextCallOnlyAndCreatesNothing) {
    sim::dsoundFailOperation("DirectSoundCreate", DSERR_NODRIVER);
    device = reinterpret_cast<LPDIRECTSOUND>(1);
    EXPECT_EQ(DirectSoundCreate(nullptr, &device, nullptr), DSERR_NODRIVER);
    EXPECT_EQ(device, nullptr);
    EXPECT_EQ(sim::dsoundStats().directSoundObjectsAlive, 0);
    EXPECT_EQ(DirectSoundCreate(nullptr, &device, nullptr), DS_OK);
    EXPECT_EQ(sim::dsoundStats().directSoundCreateCalls, 2);
    EXPECT_EQ(sim::dsoundStats().directSoundObjectsAlive, 1);

    sim::dsoundFailOperation("SetCooperativeLevel", DSERR_GENERIC);
    EXPECT_EQ(device->SetCooperativeLevel(nullptr, DSSCL_PRIORITY), DSERR_GENERIC);
    EXPECT_EQ(device->SetCooperativeLevel(nullptr, DSSCL_PRIORITY), DS_OK);
    EXPECT_EQ(sim::dsoundStats().lastCooperativeLevel, DSSCL_PRIORITY);

    // Primary and streaming buffers are armed apart.
    sim::dsoundFailOperation("CreateSoundBuffer.stream", DSERR_OUTOFMEMORY);
    DSBUFFERDESC primaryDescription{};
    primaryDescription.dwSize = sizeof primaryDescription;
    primaryDescription.dwFlags = DSBCAPS_PRIMARYBUFFER;
    ASSERT_EQ(device->CreateSoundBuffer(&primaryDescription, &primary, nullptr), DS_OK);
    const DSBUFFERDESC description = streamDescription();
    EXPECT_EQ(device->CreateSoundBuffer(&description, &stream, nullptr), DSERR_OUTOFMEMORY);
    EXPECT_EQ(stream, nullptr);
    EXPECT_EQ(sim::dsoundStats().buffersAlive, 1);
    EXPECT_EQ(sim::dsoundStats().streamBufferBytes, 0u);
    ASSERT_EQ(device->CreateSoundBuffer(&description, &stream, nullptr), DS_OK);
    EXPECT_EQ(sim::dsoundStats().buffersAlive, 2);
    EXPECT_EQ(sim::dsoundStats().streamBufferBytes, kBufferBytes);
    EXPECT_EQ(sim::dsoundStats().lastStreamFlags, 0x18000u);
}

TEST_F(DsoundTest, APersistentFailureLastsUntilCleared) {
    openStream();
    sim::dsoundFailOperation("Lock", DSERR_GENERIC, true);
    LPVOID first = reinterpret_cast<LPVOID>(1);
    LPVOID second = reinterpret_cast<LPVOID>(1);
    DWORD firstBytes = 9;
    DWORD secondBytes = 9;
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(stream->Lock(0, 16, &first, &firstBytes, &second, &secondBytes, 0), DSERR_GENERIC);
    EXPECT_EQ(first, nullptr);  // nothing to write into
    EXPECT_EQ(firstBytes, 0u);
    EXPECT_EQ(second, nullptr);
    EXPECT_EQ(secondBytes, 0u);
    EXPECT_EQ(sim::dsoundStats().lockCalls, 3);  // failed calls count too

    sim::dsoundFailOperation("Lock", DS_OK);  // clears it
    EXPECT_EQ(stream->Lock(0, 16, &first, &firstBytes, &second, &secondBytes, 0), DS_OK);
    EXPECT_EQ(firstBytes, 16u);
}

TEST_F(DsoundTest, ALostBufferRefusesLockUntilFound) {
    openStream();
    sim::dsoundSetBufferLost(true);
    LPVOID first = nullptr;
    LPVOID second = nullptr;
    DWORD firstBytes = 0;
    DWORD secondBytes = 0;
    EXPECT_EQ(stream->Lock(0, 16, &first, &firstBytes, &second, &secondBytes, 0), DSERR_BUFFERLOST);
    EXPECT_EQ(stream->Lock(0, 16, &first, &firstBytes, &second, &secondBytes, 0), DSERR_BUFFERLOST);
    EXPECT_EQ(first, nullptr);
    DWORD status = 0;
    ASSERT_EQ(stream->GetStatus(&status), DS_OK);
    EXPECT_EQ(status, DSBSTATUS_PLAYING | DSBSTATUS_LOOPING | DSBSTATUS_BUFFERLOST);

    sim::dsoundSetBufferLost(false);
    EXPECT_EQ(stream->Lock(0, 16, &first, &firstBytes, &second, &secondBytes, 0), DS_OK);
}

TEST_F(DsoundTest, DescriptorsAndFormatsAreCheckedAsADeviceChecksThem) {
    openDevice();
    DSBUFFERDESC description = streamDescription();
    description.dwSize = 0;
    EXPECT_EQ(device->CreateSoundBuffer(&description, &stream, nullptr), DSERR_INVALIDPARAM);
    description.dwSize = 37;
    EXPECT_EQ(device->CreateSoundBuffer(&description, &stream, nullptr), DSERR_INVALIDPARAM);
    description = streamDescription(0);
    EXPECT_EQ(device->CreateSoundBuffer(&description, &stream, nullptr), DSERR_INVALIDPARAM);
    description = streamDescription();
    format.nBlockAlign = 2;  // inconsistent with 2 channels of 16 bits
    EXPECT_EQ(device->CreateSoundBuffer(&description, &stream, nullptr), DSERR_INVALIDPARAM);
    format = streamFormat();
    format.wFormatTag = 3;
    EXPECT_EQ(device->CreateSoundBuffer(&description, &stream, nullptr), DSERR_BADFORMAT);
    format = streamFormat();
    description.dwSize = 36;  // the 32-bit Windows size, right for the DLLs, is taken too
    EXPECT_EQ(device->CreateSoundBuffer(&description, &stream, nullptr), DS_OK);
    EXPECT_EQ(sim::dsoundStats().buffersAlive, 1);

    DSBCAPS caps{};
    EXPECT_EQ(stream->GetCaps(&caps), DSERR_INVALIDPARAM);  // dwSize not set
    caps.dwSize = sizeof caps;
    ASSERT_EQ(stream->GetCaps(&caps), DS_OK);
    EXPECT_EQ(caps.dwBufferBytes, kBufferBytes);
    EXPECT_EQ(stream->SetFormat(&format), DSERR_INVALIDCALL);  // only the primary takes one

    // The primary takes neither size nor format at creation; its format needs DSSCL_PRIORITY.
    DSBUFFERDESC primaryDescription{};
    primaryDescription.dwSize = sizeof primaryDescription;
    primaryDescription.dwFlags = DSBCAPS_PRIMARYBUFFER;
    primaryDescription.dwBufferBytes = 4096;
    EXPECT_EQ(device->CreateSoundBuffer(&primaryDescription, &primary, nullptr), DSERR_INVALIDPARAM);
    primaryDescription.dwBufferBytes = 0;
    ASSERT_EQ(device->CreateSoundBuffer(&primaryDescription, &primary, nullptr), DS_OK);
    ASSERT_EQ(device->SetCooperativeLevel(nullptr, DSSCL_NORMAL), DS_OK);
    EXPECT_EQ(primary->SetFormat(&format), DSERR_PRIOLEVELNEEDED);
    ASSERT_EQ(device->SetCooperativeLevel(nullptr, DSSCL_PRIORITY), DS_OK);
    format.nSamplesPerSec = 22050;
    format.nAvgBytesPerSec = 88200;
    ASSERT_EQ(primary->SetFormat(&format), DS_OK);
    const sim::DsoundStats stats = sim::dsoundStats();
    EXPECT_EQ(stats.primarySamplesPerSec, 22050u);
    EXPECT_EQ(stats.primaryChannels, 2u);
    EXPECT_EQ(stats.primaryBitsPerSample, 16u);
}

TEST_F(DsoundTest, PlayNeedsACooperativeLevel) {
    ASSERT_EQ(DirectSoundCreate(nullptr, &device, nullptr), DS_OK);
    const DSBUFFERDESC description = streamDescription();
    ASSERT_EQ(device->CreateSoundBuffer(&description, &stream, nullptr), DS_OK);
    EXPECT_EQ(stream->Play(0, 0, DSBPLAY_LOOPING), DSERR_PRIOLEVELNEEDED);
    ASSERT_EQ(device->SetCooperativeLevel(nullptr, DSSCL_PRIORITY), DS_OK);
    EXPECT_EQ(stream->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
    EXPECT_TRUE(sim::dsoundStats().streamPlaying);
    EXPECT_TRUE(sim::dsoundStats().streamLooping);
}

TEST_F(DsoundTest, ResetKeepsHeldObjectsWorkingAndCounted) {
    sim::dsoundSetCursorMode(sim::CursorMode::Manual);
    openStream();
    sim::dsoundFailOperation("Lock", DSERR_GENERIC, true);
    sim::dsoundSetBufferLost(true);
    playCursor();
    sim::dsoundReset();

    sim::DsoundStats stats = sim::dsoundStats();
    EXPECT_EQ(stats.directSoundObjectsAlive, 1);
    EXPECT_EQ(stats.buffersAlive, 1);
    EXPECT_TRUE(stats.streamPlaying);
    EXPECT_EQ(stats.getCurrentPositionCalls, 0);
    EXPECT_EQ(stats.directSoundCreateCalls, 0);

    LPVOID first = nullptr;
    DWORD firstBytes = 0;
    EXPECT_EQ(stream->Lock(0, 16, &first, &firstBytes, nullptr, nullptr, 0), DS_OK);
    EXPECT_EQ(stream->Unlock(first, firstBytes, nullptr, 0), DS_OK);

    stream->Release();
    stream = nullptr;
    device->Release();
    device = nullptr;
    stats = sim::dsoundStats();
    EXPECT_EQ(stats.directSoundObjectsAlive, 0);
    EXPECT_EQ(stats.buffersAlive, 0);
    EXPECT_FALSE(stats.streamPlaying);
}
