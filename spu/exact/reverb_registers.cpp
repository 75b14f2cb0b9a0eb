#include "reverb_registers.h"

namespace reverb {

namespace {

constexpr int32_t kUnitBytes = 8;    // offsets and mBASE count 8-byte units
constexpr int32_t kSampleBytes = 2;  // [x - 2]: the 16-bit sample before x

// An offset in bytes from the running address, wrapped into the work area. The area runs from
// mBASE * 8 to the end of sound RAM and the address moves through it as a ring, so an offset
// is taken modulo the area's size. A reading: offsets the area cannot hold (larger than it,
// or a negative mAPF - dAPF) are not documented; the modulo keeps every access inside the
// area, where the documentation says the reverb works.
uint32_t wrapIntoArea(int32_t bytes, uint32_t areaBytes) {
    const int32_t size = static_cast<int32_t>(areaBytes);  // 8 .. 80000h
    int32_t r = bytes % size;
    if (r < 0) r += size;
    return static_cast<uint32_t>(r);
}

}  // namespace

bool ReverbRegisters::owns(uint32_t offset12) {
    if (offset12 & 1u) return false;
    return offset12 == kOutputVolumeLeft || offset12 == kOutputVolumeRight ||
           offset12 == kWorkAreaStart || (offset12 >= kBlockFirst && offset12 <= kBlockLast);
}

bool ReverbRegisters::write(uint32_t offset12, uint16_t value) {
    if (!owns(offset12)) return false;
    if (offset12 == kOutputVolumeLeft || offset12 == kOutputVolumeRight) {
        outputVolumes[offset12 == kOutputVolumeRight] = value;
        return false;
    }
    if (offset12 == kWorkAreaStart) {
        workAreaStart = value;
    } else {
        block[(offset12 - kBlockFirst) >> 1] = value;
    }
    rederive();
    return offset12 == kWorkAreaStart;
}

uint16_t ReverbRegisters::read(uint32_t offset12) const {
    if (!owns(offset12)) return 0;
    if (offset12 == kOutputVolumeLeft || offset12 == kOutputVolumeRight) {
        return outputVolumes[offset12 == kOutputVolumeRight];
    }
    if (offset12 == kWorkAreaStart) return workAreaStart;
    return block[(offset12 - kBlockFirst) >> 1];
}

void ReverbRegisters::rederive() {
    const uint32_t size = areaBytes();
    for (uint32_t side = 0; side < 2; ++side) {
        const uint32_t other = side ^ 1u;
        auto at = [&](uint32_t leftRegister, uint32_t s) {
            return static_cast<int32_t>(block[leftRegister + s]) * kUnitBytes;
        };
        const int32_t apf1 = at(kMLApf1, side);
        const int32_t apf2 = at(kMLApf2, side);
        const int32_t bytes[kAccessCount] = {
            at(kDLSame, side),
            at(kMLSame, side) - kSampleBytes,
            at(kDLDiff, other),
            at(kMLSame, side),
            at(kMLDiff, side) - kSampleBytes,
            at(kMLComb1, side),
            at(kMLDiff, side),
            at(kMLComb2, side),
            at(kMLComb3, side),
            at(kMLComb4, side),
            apf1 - at(kDApf1, 0),
            apf2 - at(kDApf2, 0),
            apf1,
            apf2,
        };
        for (uint32_t a = 0; a < kAccessCount; ++a) offsets[side][a] = wrapIntoArea(bytes[a], size);
    }
}

}  // namespace reverb
