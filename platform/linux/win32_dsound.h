#pragma once
// DirectSound subset on Linux: the device object, a primary buffer that only keeps its format,
// and secondary buffers of real memory whose play cursor moves as a device plays them. The
// product's device plays through SDL2 (sdl_dsound_*.cpp); the tests' simulated device moves the
// cursor with a clock or under a test's control (platform/sim). The interfaces are
// C++ classes with the member functions of the COM interfaces, so that plug-in code calls
// `buffer->Lock(...)` alike on both platforms.
#include "win32_types.h"

// ---- Wave format ----------------------------------------------------------------------------
#define WAVE_FORMAT_PCM 1

// Packed as on Windows (18 bytes), where it is declared under 1-byte packing.
#pragma pack(push, 1)
typedef struct tWAVEFORMATEX {
    WORD wFormatTag;
    WORD nChannels;
    DWORD nSamplesPerSec;
    DWORD nAvgBytesPerSec;
    WORD nBlockAlign;
    WORD wBitsPerSample;
    WORD cbSize;
} WAVEFORMATEX, *PWAVEFORMATEX, *LPWAVEFORMATEX;
#pragma pack(pop)
typedef const WAVEFORMATEX* LPCWAVEFORMATEX;

// ---- Descriptors ----------------------------------------------------------------------------
// 36 bytes on 32-bit Windows; larger here because of the 64-bit pointer. Callers set
// dwSize = sizeof(DSBUFFERDESC). The Linux layer accepts that, the older size that ends before
// guid3DAlgorithm, and 36, the Windows size; any other size is DSERR_INVALIDPARAM.
typedef struct _DSBUFFERDESC {
    DWORD dwSize;
    DWORD dwFlags;
    DWORD dwBufferBytes;
    DWORD dwReserved;
    LPWAVEFORMATEX lpwfxFormat;
    GUID guid3DAlgorithm;
} DSBUFFERDESC, *LPDSBUFFERDESC;
typedef const DSBUFFERDESC* LPCDSBUFFERDESC;

// 20 bytes on both platforms; GetCaps wants dwSize = sizeof(DSBCAPS).
typedef struct _DSBCAPS {
    DWORD dwSize;
    DWORD dwFlags;
    DWORD dwBufferBytes;
    DWORD dwUnlockTransferRate;
    DWORD dwPlayCpuOverhead;
} DSBCAPS, *LPDSBCAPS;

#define DSBCAPS_PRIMARYBUFFER 0x00000001u
#define DSBCAPS_STATIC 0x00000002u
#define DSBCAPS_LOCHARDWARE 0x00000004u
#define DSBCAPS_LOCSOFTWARE 0x00000008u
#define DSBCAPS_CTRLFREQUENCY 0x00000020u
#define DSBCAPS_CTRLPAN 0x00000040u
#define DSBCAPS_CTRLVOLUME 0x00000080u
#define DSBCAPS_STICKYFOCUS 0x00004000u
#define DSBCAPS_GLOBALFOCUS 0x00008000u
#define DSBCAPS_GETCURRENTPOSITION2 0x00010000u

#define DSSCL_NORMAL 0x00000001u
#define DSSCL_PRIORITY 0x00000002u
#define DSSCL_EXCLUSIVE 0x00000003u
#define DSSCL_WRITEPRIMARY 0x00000004u

#define DSBPLAY_LOOPING 0x00000001u

#define DSBLOCK_FROMWRITECURSOR 0x00000001u
#define DSBLOCK_ENTIREBUFFER 0x00000002u

#define DSBSTATUS_PLAYING 0x00000001u
#define DSBSTATUS_BUFFERLOST 0x00000002u
#define DSBSTATUS_LOOPING 0x00000004u

#define DSBSIZE_MIN 4u
#define DSBSIZE_MAX 0x0FFFFFFFu

// ---- Results --------------------------------------------------------------------------------
#define DS_OK S_OK
#define DSERR_GENERIC E_FAIL
#define DSERR_INVALIDPARAM E_INVALIDARG
#define DSERR_OUTOFMEMORY E_OUTOFMEMORY
#define DSERR_UNSUPPORTED E_NOTIMPL
#define DSERR_ALLOCATED (static_cast<HRESULT>(0x8878000Au))
#define DSERR_INVALIDCALL (static_cast<HRESULT>(0x88780032u))
#define DSERR_BADFORMAT (static_cast<HRESULT>(0x88780064u))
#define DSERR_NODRIVER (static_cast<HRESULT>(0x88780078u))
#define DSERR_BUFFERLOST (static_cast<HRESULT>(0x88780096u))
#define DSERR_NOAGGREGATION (static_cast<HRESULT>(0x80040110u))
#define DSERR_PRIOLEVELNEEDED (static_cast<HRESULT>(0x887800AAu))

// ---- Interfaces -----------------------------------------------------------------------------
// Reference counted like COM objects: Release at 0 destroys the object, so the destructors are
// not public.
class IDirectSoundBuffer {
public:
    virtual ULONG STDMETHODCALLTYPE AddRef() = 0;
    virtual ULONG STDMETHODCALLTYPE Release() = 0;
    virtual HRESULT STDMETHODCALLTYPE GetCaps(LPDSBCAPS caps) = 0;
    // Play cursor and write cursor (a little ahead of it while playing); either may be null.
    virtual HRESULT STDMETHODCALLTYPE GetCurrentPosition(LPDWORD playCursor,
                                                         LPDWORD writeCursor) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetStatus(LPDWORD status) = 0;
    // Region 1 runs from `offset` to the end of the buffer or for `bytes`, whichever is shorter;
    // region 2 is the rest from the start of the buffer (null and 0 when there is none).
    // `bytes` larger than the buffer is DSERR_INVALIDPARAM. `bytes` 0 gives region 1 at `offset`
    // with length 0 (a valid pointer) and no region 2.
    virtual HRESULT STDMETHODCALLTYPE Lock(DWORD offset, DWORD bytes, LPVOID* region1,
                                           LPDWORD length1, LPVOID* region2, LPDWORD length2,
                                           DWORD flags) = 0;
    virtual HRESULT STDMETHODCALLTYPE Unlock(LPVOID region1, DWORD length1, LPVOID region2,
                                             DWORD length2) = 0;
    virtual HRESULT STDMETHODCALLTYPE Play(DWORD reserved, DWORD priority, DWORD flags) = 0;
    virtual HRESULT STDMETHODCALLTYPE Stop() = 0;
    virtual HRESULT STDMETHODCALLTYPE SetFormat(LPCWAVEFORMATEX format) = 0;

protected:
    virtual ~IDirectSoundBuffer() = default;
};
typedef IDirectSoundBuffer* LPDIRECTSOUNDBUFFER;

class IDirectSound {
public:
    virtual ULONG STDMETHODCALLTYPE AddRef() = 0;
    virtual ULONG STDMETHODCALLTYPE Release() = 0;
    // Buffers can be created only after a cooperative level has been set, and the primary
    // buffer's format set only at DSSCL_PRIORITY or above, as on Windows.
    virtual HRESULT STDMETHODCALLTYPE SetCooperativeLevel(HWND window, DWORD level) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateSoundBuffer(LPCDSBUFFERDESC description,
                                                        LPDIRECTSOUNDBUFFER* buffer,
                                                        void* outer) = 0;

protected:
    virtual ~IDirectSound() = default;
};
typedef IDirectSound* LPDIRECTSOUND;

// Creates the device object for the default device (`device` null or the all-zero GUID; any
// other device is DSERR_NODRIVER). Aggregation (`outer` not null) is refused with
// DSERR_NOAGGREGATION, as on Windows.
HRESULT WINAPI DirectSoundCreate(LPCGUID device, LPDIRECTSOUND* directSound, void* outer);
