// The SPU register map as the host sees it through SPUwriteRegister / SPUreadRegister, and the
// copy of the voices' state back into the register shadow after each streaming pass.
#include "fixed_point.h"
#include "spu_core.h"

namespace {

// Register offsets: the low 12 bits of the host's address.
constexpr uint32_t kOffsetMask = 0xFFF;
constexpr uint32_t kFirstRegister = 0xC00;
constexpr uint32_t kLastRegister = 0xDFF;
constexpr uint32_t kVoiceRegistersEnd = 0xD80;  // 24 voices * 16 bytes from 0xC00
constexpr uint32_t kBitRegistersFirst = 0xD88;  // six pairs: key on .. active flags
constexpr uint32_t kBitRegistersLast = 0xD9E;

constexpr uint32_t kIrqAddress = 0xDA4;
constexpr uint32_t kTransferAddress = 0xDA6;
constexpr uint32_t kDataPort = 0xDA8;
constexpr uint32_t kControl = 0xDAA;
constexpr uint32_t kStatus = 0xDAE;
constexpr uint32_t kCdVolumeLeft = 0xDB0;
constexpr uint32_t kCdVolumeRight = 0xDB2;

constexpr uint32_t kKeyOnLow = 0xD88;
constexpr uint32_t kKeyOnHigh = 0xD8A;
constexpr uint32_t kKeyOffLow = 0xD8C;
constexpr uint32_t kKeyOffHigh = 0xD8E;
constexpr uint32_t kReverbLow = 0xD98;
constexpr uint32_t kReverbHigh = 0xD9A;
constexpr uint32_t kActiveLow = 0xD9C;
constexpr uint32_t kActiveHigh = 0xD9E;

constexpr uint16_t kStatusStoredBits = 0xF800;  // bits 11..15; the rest reads as 0
constexpr uint32_t kTransferUnit = 8;           // register value counts 8-byte units
constexpr int kLowGroupVoices = 16;             // low bit register: voices 0..15
constexpr int kHighGroupVoices = 8;             // high bit register: voices 16..23

// Voice sub-registers (offset & 0xF).
enum VoiceSubRegister : uint32_t {
    kVolumeLeft = 0x0,
    kVolumeRight = 0x2,
    kPitch = 0x4,
    kStartAddress = 0x6,
    kAdsr1 = 0x8,
    kAdsr2 = 0xA,
    kEnvelopeLevel = 0xC,
    kRepeatAddress = 0xE,
};

using BitOperation = void (Voice::*)(uint32_t);

// One operation per register pair, in address order from 0xD88.
constexpr BitOperation kBitOperations[] = {
    &Voice::keyOn,          &Voice::keyOff,          &Voice::writeFmFlag,
    &Voice::writeNoiseFlag, &Voice::writeReverbFlag, &Voice::writeActiveFlag,
};

bool isMapped(uint32_t offset) {
    return offset >= kFirstRegister && offset <= kLastRegister;
}

uint32_t shadowIndex(uint32_t offset) {
    return (offset - kFirstRegister) >> 1;
}

}  // namespace

void SpuCore::writeRegister(uint32_t address, uint32_t value) {
    const uint32_t offset = address & kOffsetMask;
    // The host only passes the chip's own register window; anything else has no shadow entry
    // and must not index past it.
    if (!isMapped(offset)) return;
    const uint16_t value16 = static_cast<uint16_t>(value & 0xFFFF);
    // The shadow is written first and for every offset, odd ones included: reads of registers
    // with no core meaning return it, and the freeze record saves it as the register block.
    registers[shadowIndex(offset)] = value16;
    // An odd offset only lands in the entry of the even register below it.
    if ((offset & 1) != 0) return;

    if (offset < kVoiceRegistersEnd) {
        writeVoiceRegister(offset, value);
        return;
    }
    if (offset >= kBitRegistersFirst && offset <= kBitRegistersLast) {
        writeBitRegister(offset, value);
        return;
    }
    switch (offset) {
        case kIrqAddress:
            for (Voice& v : voices) v.writeIrqAddress(value16);
            irqAddress = value16;
            break;
        case kTransferAddress:
            transferAddress = static_cast<uint32_t>(value16) * kTransferUnit;
            break;
        case kDataPort:
            writeDataPort(value16);
            break;
        case kControl:
            control = value16;
            break;
        case kStatus:
            status = static_cast<uint16_t>(value16 & kStatusStoredBits);
            break;
        case kCdVolumeLeft:
            cdStream.setLeftVolume(value16);
            break;
        case kCdVolumeRight:
            cdStream.setRightVolume(value16);
            break;
        default:
            // Main and reverb volumes, reverb settings, transfer control, external input volume:
            // stored for the host to read back, not applied to the output.
            break;
    }
}

void SpuCore::writeVoiceRegister(uint32_t offset, uint32_t value) {
    Voice& v = voices[(offset >> 4) - (kFirstRegister >> 4)];
    switch (offset & 0xF) {
        case kVolumeLeft:
            v.writeVolumeLeft(value);
            break;
        case kVolumeRight:
            v.writeVolumeRight(value);
            break;
        case kPitch:
            v.writePitch(value);
            break;
        case kStartAddress:
            v.writeStartAddress(value);
            break;
        case kAdsr1:
            v.writeAdsr1(value);
            break;
        case kAdsr2:
            v.writeAdsr2(value);
            break;
        case kEnvelopeLevel:
            v.writeEnvelopeLevel(value);
            break;
        case kRepeatAddress:
            v.writeRepeatAddress(value);
            break;
        default:
            break;
    }
}

void SpuCore::writeBitRegister(uint32_t offset, uint32_t value) {
    const BitOperation op = kBitOperations[(offset - kBitRegistersFirst) >> 2];
    const bool high = (offset & 2) != 0;
    const int firstVoice = high ? kLowGroupVoices : 0;
    const int count = high ? kHighGroupVoices : kLowGroupVoices;
    // Every voice of the group gets its bit, 0 included, in ascending order: a 0 clears the
    // voice's latch, and what else it does is the voice's business.
    for (int i = 0; i < count; ++i) {
        // Bound first: GCC's bounds sanitizer misreads the index of a member-pointer call made
        // directly on an array element and reports a false overrun.
        Voice& voice = voices[firstVoice + i];
        (voice.*op)(static_cast<uint32_t>(extractBits(value, i, i)));
    }
}

uint16_t SpuCore::readRegister(uint32_t address) {
    const uint32_t offset = address & kOffsetMask;
    if (!isMapped(offset)) return 0;
    switch (offset) {
        case kIrqAddress:
            return irqAddress;
        case kTransferAddress:
            // Before the first write this is 0xFFFFFFFF / 8, whose low 16 bits are 0xFFFF.
            return static_cast<uint16_t>((transferAddress / kTransferUnit) & 0xFFFF);
        case kDataPort:
            return readDataPort();
        case kControl:
            return control;
        case kStatus:
            return static_cast<uint16_t>(status & kStatusStoredBits);
        default:
            return registers[shadowIndex(offset)];
    }
}

void SpuCore::refreshShadow() {
    uint32_t keyOnMask = 0, keyOffMask = 0, reverbMask = 0, activeMask = 0;  // bit v = voice v
    for (int v = 0; v < kVoiceCount; ++v) {
        const Voice& voice = voices[v];
        registers[shadowIndex(kFirstRegister + 16u * v + kEnvelopeLevel)] =
            voice.getEnvelopeLevel();
        registers[shadowIndex(kFirstRegister + 16u * v + kRepeatAddress)] =
            voice.getRepeatAddress();
        keyOnMask |= static_cast<uint32_t>(voice.isKeyOn()) << v;
        keyOffMask |= static_cast<uint32_t>(voice.isKeyOff()) << v;
        reverbMask |= static_cast<uint32_t>(voice.isReverb()) << v;
        activeMask |= static_cast<uint32_t>(voice.isActive()) << v;
    }
    // Low register: voices 0..15; high register: voices 16..23 in bits 0..7, bits 8..15 clear.
    // The FM and noise registers keep the host's writes.
    const auto store = [this](uint32_t low, uint32_t high, uint32_t mask) {
        registers[shadowIndex(low)] = static_cast<uint16_t>(mask & 0xFFFF);
        registers[shadowIndex(high)] = static_cast<uint16_t>((mask >> kLowGroupVoices) & 0xFF);
    };
    store(kKeyOnLow, kKeyOnHigh, keyOnMask);
    store(kKeyOffLow, kKeyOffHigh, keyOffMask);
    store(kReverbLow, kReverbHigh, reverbMask);
    store(kActiveLow, kActiveHigh, activeMask);
}
