#pragma once
// The rules every DirectSound buffer of the Linux layer follows, whatever plays it: the PCM
// formats DirectSound accepts, and how Lock hands out a span of a looping buffer as one or two
// regions. The SDL2 device and the tests' simulated device both use these, so the plug-in meets
// the same buffer behaviour in the tests as in a host.
#include <cstdint>

#include "win32_dsound.h"

namespace linux_platform::detail {

// DS_OK, DSERR_BADFORMAT for another format tag, or DSERR_INVALIDPARAM for inconsistent members.
HRESULT checkPcmFormat(const WAVEFORMATEX* format);

// A failed Lock leaves nothing usable behind: callers that write anyway hit a null pointer at
// once instead of memory that is not theirs.
void clearLockRegions(LPVOID* region1, LPDWORD length1, LPVOID* region2, LPDWORD length2);

// The regions of `bytes` bytes from `offset` in a looping buffer of `size` bytes at `memory`
// (all of it with DSBLOCK_ENTIREBUFFER in `flags`): the part up to the end, then the wrapped
// rest from the start. The caller has resolved DSBLOCK_FROMWRITECURSOR into `offset` and
// cleared the regions. DSERR_INVALIDPARAM for an offset or size outside the buffer, or a
// wrapped rest with nowhere to put it.
HRESULT splitLockRegions(uint8_t* memory, uint32_t size, DWORD offset, DWORD bytes, DWORD flags,
                         LPVOID* region1, LPDWORD length1, LPVOID* region2, LPDWORD length2);

// Unlock's check that the pointers are ones Lock could have given: region 1 inside the buffer,
// region 2 at its start (or null), each length within what lies behind its pointer.
HRESULT checkUnlockRegions(const uint8_t* memory, uint32_t size, LPVOID region1, DWORD length1,
                           LPVOID region2, DWORD length2);

// DirectSoundCreate's device: null or the all-zero GUID name the default device, the only one
// there is.
bool isDefaultDevice(LPCGUID device);

}  // namespace linux_platform::detail
