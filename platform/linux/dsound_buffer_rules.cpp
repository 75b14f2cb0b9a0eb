#include "dsound_buffer_rules.h"

#include <algorithm>
#include <cstring>

namespace linux_platform::detail {

HRESULT checkPcmFormat(const WAVEFORMATEX* format) {
    if (format == nullptr) return DSERR_INVALIDPARAM;
    if (format->wFormatTag != WAVE_FORMAT_PCM) return DSERR_BADFORMAT;
    const uint32_t channels = format->nChannels;
    const uint32_t bits = format->wBitsPerSample;
    const uint32_t rate = format->nSamplesPerSec;
    if (channels < 1 || channels > 8) return DSERR_INVALIDPARAM;
    if (bits != 8 && bits != 16 && bits != 24 && bits != 32) return DSERR_INVALIDPARAM;
    if (rate < 100 || rate > 200000) return DSERR_INVALIDPARAM;  // DSBFREQUENCY_MIN..MAX
    const uint32_t blockAlign = channels * bits / 8;
    if (format->nBlockAlign != blockAlign || format->nAvgBytesPerSec != blockAlign * rate)
        return DSERR_INVALIDPARAM;
    return DS_OK;
}

void clearLockRegions(LPVOID* region1, LPDWORD length1, LPVOID* region2, LPDWORD length2) {
    if (region1 != nullptr) *region1 = nullptr;
    if (length1 != nullptr) *length1 = 0;
    if (region2 != nullptr) *region2 = nullptr;
    if (length2 != nullptr) *length2 = 0;
}

HRESULT splitLockRegions(uint8_t* memory, uint32_t size, DWORD offset, DWORD bytes, DWORD flags,
                         LPVOID* region1, LPDWORD length1, LPVOID* region2, LPDWORD length2) {
    if ((flags & DSBLOCK_ENTIREBUFFER) != 0) bytes = size;
    if (offset >= size || bytes > size) return DSERR_INVALIDPARAM;
    const uint32_t first = std::min<uint32_t>(bytes, size - offset);
    const uint32_t second = bytes - first;
    if (second != 0 && (region2 == nullptr || length2 == nullptr)) return DSERR_INVALIDPARAM;
    *region1 = memory + offset;  // also for 0 bytes: a valid pointer of length 0
    *length1 = first;
    if (second != 0) {
        *region2 = memory;
        *length2 = second;
    }
    return DS_OK;
}

HRESULT checkUnlockRegions(const uint8_t* memory, uint32_t size, LPVOID region1, DWORD length1,
                           LPVOID region2, DWORD length2) {
    const uint8_t* end = memory + size;
    const auto* first = static_cast<const uint8_t*>(region1);
    const auto* second = static_cast<const uint8_t*>(region2);
    if (first == nullptr || first < memory || first > end ||
        length1 > static_cast<size_t>(end - first))
        return DSERR_INVALIDPARAM;
    if (second == nullptr ? length2 != 0 : (second != memory || length2 > size))
        return DSERR_INVALIDPARAM;
    return DS_OK;
}

bool isDefaultDevice(LPCGUID device) {
    static const GUID none{};
    return device == nullptr || std::memcmp(device, &none, sizeof none) == 0;
}

}  // namespace linux_platform::detail
