// The register map by the low 12 bits of the address: the 24 voices from C00h, the control
// registers from D80h, reverb from DC0h (the reverb unit holds those and vLOUT/vROUT/mBASE),
// the current volumes from E00h. Every register reads back what was last written unless the
// chip keeps a live value for it (ENVX, repeat, ENDX, SPUSTAT, current volumes) or the read is
// a transfer (the data port).
#include "exact_core_impl.h"
#include "fixed_point.h"
#include "open_readings.h"

namespace {

constexpr uint32_t kVoicesEnd = 0xD80;
constexpr uint32_t kLastRegister = 0xDFF;
constexpr uint32_t kCurrentVolumes = 0xE00;
constexpr uint32_t kCurrentVolumesEnd = 0xE60;

enum : uint32_t {
    kVolumeLeft = 0x0,
    kVolumeRight = 0x2,
    kPitch = 0x4,
    kStart = 0x6,
    kAdsrLow = 0x8,
    kAdsrHigh = 0xA,
    kEnvx = 0xC,
    kRepeat = 0xE,
};

enum : uint32_t {
    kMainVolumeLeft = 0xD80,
    kMainVolumeRight = 0xD82,
    kKeyOnLow = 0xD88,
    kKeyOnHigh = 0xD8A,
    kKeyOffLow = 0xD8C,
    kKeyOffHigh = 0xD8E,
    kPmonLow = 0xD90,
    kNonLow = 0xD94,
    kEonLow = 0xD98,
    kEndxLow = 0xD9C,
    kEndxHigh = 0xD9E,
    kIrqAddress = 0xDA4,
    kTransferAddress = 0xDA6,
    kDataPort = 0xDA8,
    kControl = 0xDAA,
    kTransferControl = 0xDAC,
    kStatus = 0xDAE,
    kCdVolumeLeft = 0xDB0,
    kCdVolumeRight = 0xDB2,
    kMainCurrentLeft = 0xDB8,
    kMainCurrentRight = 0xDBA,
};

constexpr uint16_t kIrqEnableBits = 0x8040;  // SPUCNT: chip enabled and IRQ enabled
constexpr uint16_t kAckBit = 0x0040;
constexpr uint16_t kEnableBit = 0x8000;
constexpr uint16_t kStatusCopyBits = 0x003F;  // SPUSTAT bits 0-5 copy SPUCNT's

// A 32-bit voice mask from a low/high register pair (voices 0-15, 16-23).
uint32_t voiceMask(const ChipState& s, uint32_t low) {
    return (s.reg(low) | static_cast<uint32_t>(s.reg(low + 2)) << 16) & 0xFFFFFFu;
}

}  // namespace

void ExactCore::Impl::writeRegister(uint32_t offset, uint16_t value) {
    // An odd address (an 8-bit write) is ignored; nothing outside the map is stored.
    if ((offset & 1) != 0 || offset < 0xC00 || offset > kLastRegister) return;
    ChipState& s = state;
    if (reverb::ReverbUnit::ownsRegister(offset)) {
        // The reverb unit keeps these (decoded for its datapath) and reads them back: the
        // register file holds no second copy to drift from it after a state load.
        s.reverb.unit.writeRegister(offset, value);
        return;
    }
    s.reg(offset) = value;
    if (offset < kVoicesEnd) {
        VoiceState& v = s.voices[(offset - 0xC00) >> 4];
        switch (offset & 0xF) {
            case kVolumeLeft: v.volumeLeft.write(value); break;
            case kVolumeRight: v.volumeRight.write(value); break;
            case kPitch: v.pitch = value; break;
            case kStart: v.startAddress = value; break;
            case kAdsrLow: writeAdsrLow(v, value); break;
            case kAdsrHigh: writeAdsrHigh(v, value); break;
            case kEnvx:
                if (open_readings::kEnvxWritable) v.envelope = static_cast<int16_t>(value) & 0x7FFF;
                break;
            case kRepeat: v.repeatAddress = value; break;
            default: break;
        }
        return;
    }
    switch (offset) {
        case kMainVolumeLeft: s.mainLeft.write(value); break;
        case kMainVolumeRight: s.mainRight.write(value); break;
        case kKeyOnLow: writeKeyBits(value, true); break;
        case kKeyOnHigh: writeKeyBits(static_cast<uint32_t>(value & 0xFF) << 16, true); break;
        case kKeyOffLow: writeKeyBits(value, false); break;
        case kKeyOffHigh: writeKeyBits(static_cast<uint32_t>(value & 0xFF) << 16, false); break;
        case kPmonLow:
        case kPmonLow + 2: s.pitchModulation = voiceMask(s, kPmonLow); break;
        case kNonLow:
        case kNonLow + 2: s.noiseVoices = voiceMask(s, kNonLow); break;
        case kEonLow:
        case kEonLow + 2: s.reverbVoices = voiceMask(s, kEonLow); break;
        case kIrqAddress:
            s.irq.address = value;
            if (open_readings::kIrqCheckedOnEnable) compareVoiceFetches();
            break;
        case kTransferAddress: s.transfer.setAddress(value); break;
        case kDataPort: s.transfer.write(s.soundRam, s.irq, value); break;
        case kControl: writeControl(value); break;
        case kTransferControl:
            s.transferControl = value;
            // Bits 3-2 non-zero let the capture rings (and SPUSTAT bit 11) run.
            s.capture.running = (value & 0x000C) != 0 ? 1 : 0;
            break;
        case kCdVolumeLeft: s.cdVolumeLeft = static_cast<int16_t>(value); break;
        case kCdVolumeRight: s.cdVolumeRight = static_cast<int16_t>(value); break;
        default: break;  // stored only: external volume, read-only ones
    }
}

void ExactCore::Impl::writeKeyBits(uint32_t bits, bool on) {
    ChipState& s = state;
    for (int n = 0; n < ChipState::kVoices; ++n) {
        if ((bits & (1u << n)) == 0) continue;
        if (!on) {
            keyOff(s.voices[n]);
        } else if ((s.control & kEnableBit) != 0) {  // key-on is ignored while disabled
            keyOn(s.voices[n], s.soundRam);
            s.endx &= ~(1u << n);
        }
    }
}

void ExactCore::Impl::writeControl(uint16_t value) {
    ChipState& s = state;
    const bool wasArmed = s.irq.enabled != 0;
    s.control = value;
    s.noise.setControl(value);
    s.irq.enabled = (value & kIrqEnableBits) == kIrqEnableBits ? 1 : 0;
    if ((value & kAckBit) == 0) s.irq.flag = 0;  // writing 0 to bit 6 acknowledges
    if ((value & kEnableBit) == 0 && open_readings::kDisableZeroesEnvelopes) {
        for (VoiceState& v : s.voices) {
            keyOff(v);
            v.envelope = 0;
        }
    }
    if (!wasArmed && open_readings::kIrqCheckedOnEnable) compareVoiceFetches();
}

void ExactCore::Impl::compareVoiceFetches() {
    ChipState& s = state;
    for (const VoiceState& v : s.voices) {
        if (!s.irq.armed()) return;
        s.irq.access(v.blockByte);
        s.irq.access(v.blockByte + 2 + 2 * ((v.position >> 12) >> 2));
    }
}

uint16_t ExactCore::Impl::readRegister(uint32_t offset) {
    ChipState& s = state;
    if (offset >= kCurrentVolumes && offset < kCurrentVolumesEnd) {
        const VoiceState& v = s.voices[(offset - kCurrentVolumes) >> 2];
        const int32_t level = (offset & 2) == 0 ? v.volumeLeft.level : v.volumeRight.level;
        return static_cast<uint16_t>(level);
    }
    if (offset < 0xC00 || offset > kLastRegister) return 0;
    offset &= ~1u;
    if (reverb::ReverbUnit::ownsRegister(offset)) return s.reverb.unit.readRegister(offset);
    if (offset < kVoicesEnd) {
        const VoiceState& v = s.voices[(offset - 0xC00) >> 4];
        switch (offset & 0xF) {
            case kEnvx: return static_cast<uint16_t>(v.envelope);
            case kRepeat: return v.repeatAddress;
            default: return s.reg(offset);
        }
    }
    switch (offset) {
        case kEndxLow: return static_cast<uint16_t>(s.endx & 0xFFFF);
        case kEndxHigh: return static_cast<uint16_t>(s.endx >> 16);
        case kControl: return s.control;
        case kTransferAddress: return s.transfer.addressRegister;
        // The data port reads sound RAM at the transfer address and moves it on, as a manual
        // transfer does (the same word a DMA read would give).
        case kDataPort: return s.transfer.read(s.soundRam, s.irq);
        case kStatus:
            return static_cast<uint16_t>((s.control & kStatusCopyBits) | (s.irq.flag << 6) |
                                         s.capture.halfBit());
        case kMainCurrentLeft: return static_cast<uint16_t>(s.mainLeft.level);
        case kMainCurrentRight: return static_cast<uint16_t>(s.mainRight.level);
        default: return s.reg(offset);
    }
}
