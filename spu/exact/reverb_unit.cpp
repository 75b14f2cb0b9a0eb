#include "reverb_unit.h"

#include <cstring>

#include "open_readings.h"
#include "reverb_math.h"

namespace reverb {

namespace {

constexpr uint32_t kSampleAlign = 0x7FFFE;  // 16-bit samples inside 512 KiB

// The IRQ address counts 8-byte units; a 16-bit access hits it anywhere in that unit.
inline bool hitsIrqAddress(uint32_t byteAddress, uint32_t address8) {
    return (byteAddress >> 3) == address8;
}

// Sound RAM holds little-endian samples, as every host this builds for does: one 16-bit
// move each (the byte-wise form costs two loads per access here).
inline int32_t load16(const uint8_t* ram, uint32_t a) {
    int16_t v;
    std::memcpy(&v, ram + a, sizeof v);
    return v;
}

inline void store16(uint8_t* ram, uint32_t a, int32_t v) {
    const int16_t narrow = static_cast<int16_t>(v);
    std::memcpy(ram + a, &narrow, sizeof narrow);
}

}  // namespace

void ReverbUnit::writeRegister(uint32_t offset12, uint16_t value) {
    if (registers.write(offset12, value)) address = registers.areaStart();
}

void ReverbUnit::afterStateLoad() {
    registers.rederive();
    address &= kSampleAlign;
    if (address < registers.areaStart()) address = registers.areaStart();
    nextSide &= 1u;
    sides[0].afterStateLoad();
    sides[1].afterStateLoad();
}

StereoSample ReverbUnit::tick(uint8_t* soundRam, int32_t inLeft, int32_t inRight,
                              bool writesEnabled, IrqProbe& irq) {
    // The mix can exceed 16 bits; the reverb input is a 16-bit sample (a reading: the
    // documentation saturates every write, and the input bus is as wide as the samples).
    sides[0].pushInput(saturate16(inLeft));
    sides[1].pushInput(saturate16(inRight));
    const uint32_t side = nextSide;
    const int32_t wet = runSide(side, soundRam, sides[side].decimate(), writesEnabled, irq);
    int32_t out[2];
    out[side] = sides[side].pushOutputAndInterpolate(wet);
    out[side ^ 1u] = sides[side ^ 1u].interpolateBetween();
    if (side == 1) {
        // One 22050 Hz step done: both sides used the same address.
        const uint32_t next = (address + 2) & kSampleAlign;
        address = next < registers.areaStart() ? registers.areaStart() : next;
    }
    nextSide = side ^ 1u;
    return StereoSample{out[0], out[1]};
}

// One side of one 22050 Hz step. The memory accesses follow the order a logic analyser saw
// on a console, so when two offsets name the same sample the later access sees the earlier
// write: dSAME, mSAME-1, dDIFF (other side), mSAME (write), mDIFF-1, mCOMB1, mDIFF (write),
// mCOMB2, mCOMB3, mCOMB4, mAPF1-dAPF1, mAPF2-dAPF2, mAPF1 (write), mAPF2 (write).
int32_t ReverbUnit::runSide(uint32_t side, uint8_t* ram, int32_t decimated, bool writesEnabled,
                            IrqProbe& irq) const {
    const ReverbRegisters& r = registers;
    const uint32_t areaBytes = r.areaBytes();
    const bool probing = irq.armed;
    auto at = [&](Access a, bool isWrite) {
        uint32_t byteAddress = address + r.offset(static_cast<int>(side), a);
        if (byteAddress >= kSoundRamBytes) byteAddress -= areaBytes;
        byteAddress &= kSampleAlign;
        if (probing && open_readings::reverbAccessRaisesIrq(isWrite, writesEnabled) &&
            hitsIrqAddress(byteAddress, irq.address8)) {
            irq.hit = true;
        }
        return byteAddress;
    };
    auto read = [&](Access a) { return load16(ram, at(a, false)); };
    const int32_t vWall = r.volume(kVWall);
    const int32_t vApf1 = r.volume(kVApf1);
    const int32_t vApf2 = r.volume(kVApf2);
    const int32_t vComb[4] = {r.volume(kVComb1), r.volume(kVComb2), r.volume(kVComb3),
                              r.volume(kVComb4)};
    int32_t comb[4] = {};
    int32_t apf1Source = 0;
    int32_t apf2Source = 0;

    if (writesEnabled) {
        const int32_t vIir = r.volume(kVIir);
        // vLIN/vRIN = -8000h is an ordinary x(-1) (measured); -8000h * -8000h saturates.
        const int32_t in = saturate16(reverbProduct(decimated, r.volume(side ? kVRIn : kVLIn)));
        const int32_t dSame = read(kDSame);
        const int32_t sameOld = read(kMSameOld);
        const int32_t dDiff = read(kDDiffOther);
        const int32_t sameIn = saturate16(in + reverbProduct(dSame, vWall));
        store16(ram, at(kMSame, true), iirBlend(sameIn, sameOld, vIir));
        const int32_t diffOld = read(kMDiffOld);
        comb[0] = read(kComb1);
        const int32_t diffIn = saturate16(in + reverbProduct(dDiff, vWall));
        store16(ram, at(kMDiff, true), iirBlend(diffIn, diffOld, vIir));
        comb[1] = read(kComb2);
        comb[2] = read(kComb3);
        comb[3] = read(kComb4);
        apf1Source = read(kApf1Source);
        apf2Source = read(kApf2Source);
    } else {
        // SPUCNT bit 7 clear: no SAME/DIFF stage, and the output side still reads the buffer,
        // the combs and all-pass 1 only when their volumes are non-zero (documented). A read
        // that does not happen gives 0.
        static const Access kCombAccess[4] = {kComb1, kComb2, kComb3, kComb4};
        for (int c = 0; c < 4; ++c) comb[c] = vComb[c] != 0 ? read(kCombAccess[c]) : 0;
        apf1Source = vApf1 != 0 ? read(kApf1Source) : 0;
        apf2Source = read(kApf2Source);
    }

    int32_t wet = saturate16(reverbProduct(comb[0], vComb[0]) + reverbProduct(comb[1], vComb[1]) +
                             reverbProduct(comb[2], vComb[2]) + reverbProduct(comb[3], vComb[3]));
    wet = saturate16(wet - reverbProduct(apf1Source, vApf1));
    const uint32_t apf1At = at(kApf1, writesEnabled);  // with bit 7 clear the writes are reads
    const int32_t apf1Stored = wet;
    wet = saturate16(reverbProduct(wet, vApf1) + apf1Source);
    wet = saturate16(wet - reverbProduct(apf2Source, vApf2));
    const uint32_t apf2At = at(kApf2, writesEnabled);
    const int32_t apf2Stored = wet;
    wet = saturate16(reverbProduct(wet, vApf2) + apf2Source);
    if (writesEnabled) {
        store16(ram, apf1At, apf1Stored);
        store16(ram, apf2At, apf2Stored);
    }
    return saturate16(reverbProduct(wet, r.outputVolume(static_cast<int>(side))));
}

}  // namespace reverb
