#pragma once
// The reverb's registers as the CPU writes them, and what the datapath needs from them: the
// work area and, per side, the byte offset of each of the 14 memory accesses already reduced
// into the work area, so a tick adds one offset and wraps at most once per access.
//
// Registers by the low 12 bits of their CPU address:
//   D84h vLOUT, D86h vROUT (output volumes), DA2h mBASE (work area start, 8-byte units),
//   DC0h..DFEh in this order: dAPF1 dAPF2 vIIR vCOMB1 vCOMB2 vCOMB3 vCOMB4 vWALL vAPF1 vAPF2
//   mLSAME mRSAME mLCOMB1 mRCOMB1 mLCOMB2 mRCOMB2 dLSAME dRSAME mLDIFF mRDIFF mLCOMB3 mRCOMB3
//   mLCOMB4 mRCOMB4 dLDIFF dRDIFF mLAPF1 mRAPF1 mLAPF2 mRAPF2 vLIN vRIN.
// Offsets count 8-byte units; volumes are signed 16-bit. Every register reads back as written.
#include <cstdint>

namespace reverb {

constexpr uint32_t kSoundRamBytes = 0x80000;
constexpr uint32_t kOutputVolumeLeft = 0xD84;
constexpr uint32_t kOutputVolumeRight = 0xD86;
constexpr uint32_t kWorkAreaStart = 0xDA2;
constexpr uint32_t kBlockFirst = 0xDC0;
constexpr uint32_t kBlockLast = 0xDFE;

// Index of each register of the DC0h block (offset = DC0h + 2 * index).
enum BlockRegister : uint32_t {
    kDApf1, kDApf2, kVIir, kVComb1, kVComb2, kVComb3, kVComb4, kVWall, kVApf1, kVApf2,
    kMLSame, kMRSame, kMLComb1, kMRComb1, kMLComb2, kMRComb2, kDLSame, kDRSame, kMLDiff, kMRDiff,
    kMLComb3, kMRComb3, kMLComb4, kMRComb4, kDLDiff, kDRDiff, kMLApf1, kMRApf1, kMLApf2, kMRApf2,
    kVLIn, kVRIn, kBlockCount
};

// The memory accesses of one side, in the order a logic analyser saw them on a console.
// "Old" is the sample before the address ([x - 2]); dDIFF is the other side's.
enum Access : uint32_t {
    kDSame, kMSameOld, kDDiffOther, kMSame, kMDiffOld, kComb1, kMDiff, kComb2, kComb3, kComb4,
    kApf1Source, kApf2Source, kApf1, kApf2, kAccessCount
};

class ReverbRegisters {
  public:
    // The offsets of registers all 0 are not all 0 ([x - 2] lies 2 bytes before the address,
    // at the area's end): derived here as after any write, so a fresh chip and one loaded from
    // its image run the same.
    ReverbRegisters() { rederive(); }
    // True for the offsets this class holds; the chip routes those writes and reads here.
    static bool owns(uint32_t offset12);
    // Stores the value; an mBASE write reports true (the caller resets the running address).
    bool write(uint32_t offset12, uint16_t value);
    uint16_t read(uint32_t offset12) const;
    // Rebuilds the derived offsets from the stored registers (after a state load).
    void rederive();

    int32_t volume(BlockRegister r) const { return static_cast<int16_t>(block[r]); }
    int32_t outputVolume(int side) const { return static_cast<int16_t>(outputVolumes[side & 1]); }
    uint32_t areaStart() const { return static_cast<uint32_t>(workAreaStart) * 8; }
    uint32_t areaBytes() const { return kSoundRamBytes - areaStart(); }
    // Byte offset of an access, in [0, areaBytes()).
    uint32_t offset(int side, Access a) const { return offsets[side & 1][a]; }

  private:
    uint16_t block[kBlockCount] = {};
    uint16_t outputVolumes[2] = {};
    uint16_t workAreaStart = 0;
    uint32_t offsets[2][kAccessCount] = {};
};

}  // namespace reverb
