// What the register file does to a voice: the eight per-voice registers, the key-on and
// key-off bits, the four flag bits and the IRQ address copy.
#include "fixed_point.h"
#include "voice.h"

namespace {

// Volume register (sub-registers 0x0 and 0x2).
constexpr int kVolumeSweepBit = 15;    // 1 = sweep mode, 0 = fixed volume
constexpr int kFixedNegativeBit = 14;  // fixed mode: the volume is negative
constexpr int kFixedVolumeLo = 0;      // fixed mode: bits 0-13, the magnitude
constexpr int kFixedVolumeHi = 13;
constexpr int32_t kFixedNegativeOffset = 0x3FFF;  // 0x4000 gives -0x3FFF, 0x7FFF gives 0
constexpr int kSweepExponentialBit = 14;          // sweep mode: stored, the sweep stays linear
constexpr int kSweepDecreaseBit = 13;             // sweep mode: 1 = the volume moves down
constexpr int kSweepFastBit = 12;  // sweep mode: rate minus 0x3FFF, reversing the sweep
constexpr int kSweepRateLo = 0;    // sweep mode: bits 0-6; bits 7-11 are ignored
constexpr int kSweepRateHi = 6;
constexpr int32_t kSweepFastOffset = 0x3FFF;

// ADSR1 (sub-register 0x8).
constexpr int kAttackExponentialBit = 15;
constexpr int kAttackRateLo = 8;
constexpr int kAttackRateHi = 14;
constexpr int kDecayRateLo = 4;
constexpr int kDecayRateHi = 7;
constexpr int kSustainLevelLo = 0;
constexpr int kSustainLevelHi = 3;

// ADSR2 (sub-register 0xA); bit 13 carries nothing.
constexpr int kSustainExponentialBit = 15;
constexpr int kSustainDecreaseBit = 14;
constexpr int kSustainRateLo = 6;
constexpr int kSustainRateHi = 12;
constexpr int kReleaseExponentialBit = 5;
constexpr int kReleaseRateLo = 0;
constexpr int kReleaseRateHi = 4;

constexpr int32_t kEnvelopeLevelShift = 8;  // the 16-bit level is the accumulator's top bits

inline int32_t bit(uint32_t value, int index) {
    return extractBits(value, index, index);
}

// The bit registers hand each voice 0 or 1; the latch keeps the low byte of what it got.
inline int32_t lowByte(uint32_t value) {
    return static_cast<int32_t>(value & 0xFFu);
}

// One side of a volume register. A write in fixed mode leaves the sweep fields alone and a
// write in sweep mode leaves the fixed volume alone, so switching modes back and forth keeps
// what the other mode was last given.
void decodeVolume(uint32_t value, int32_t& sweep, int32_t& fixedVolume, int32_t& sweepRate,
                  int32_t& sweepExponential, int32_t& sweepDecrease) {
    sweep = bit(value, kVolumeSweepBit);
    if (sweep == 0) {
        fixedVolume = extractBits(value, kFixedVolumeLo, kFixedVolumeHi);
        if (bit(value, kFixedNegativeBit) != 0) fixedVolume -= kFixedNegativeOffset;
        return;
    }
    sweepRate = extractBits(value, kSweepRateLo, kSweepRateHi);
    if (bit(value, kSweepFastBit) != 0) sweepRate -= kSweepFastOffset;
    sweepExponential = bit(value, kSweepExponentialBit);
    sweepDecrease = bit(value, kSweepDecreaseBit);
}

}  // namespace

Voice::Voice() = default;

void Voice::writeVolumeLeft(uint32_t value) {
    decodeVolume(value, sweepLeft, fixedVolumeLeft, sweepRateLeft, sweepExponentialLeft,
                 sweepDecreaseLeft);
}

void Voice::writeVolumeRight(uint32_t value) {
    decodeVolume(value, sweepRight, fixedVolumeRight, sweepRateRight, sweepExponentialRight,
                 sweepDecreaseRight);
}

void Voice::writePitch(uint32_t value) {
    pitch = extractBits(value, 0, 15);
}

// Takes effect at the next key on; a sounding voice keeps its block address.
void Voice::writeStartAddress(uint32_t value) {
    startAddress = extractBits(value, 0, 15);
}

void Voice::writeAdsr1(uint32_t value) {
    attackExponential = bit(value, kAttackExponentialBit);
    attackRate = extractBits(value, kAttackRateLo, kAttackRateHi);
    decayRate = extractBits(value, kDecayRateLo, kDecayRateHi);
    sustainLevel = extractBits(value, kSustainLevelLo, kSustainLevelHi);
    computeEnvelopeStep();  // a new rate applies from the next sample, whatever the phase
}

void Voice::writeAdsr2(uint32_t value) {
    sustainExponential = bit(value, kSustainExponentialBit);
    sustainDecrease = bit(value, kSustainDecreaseBit);
    sustainRate = extractBits(value, kSustainRateLo, kSustainRateHi);
    releaseExponential = bit(value, kReleaseExponentialBit);
    releaseRate = extractBits(value, kReleaseRateLo, kReleaseRateHi);
    computeEnvelopeStep();
}

// Games write the level directly to fade a voice by hand; the phase and the step stay, so the
// envelope moves on from the written level at the next sample.
void Voice::writeEnvelopeLevel(uint32_t value) {
    envelopeLevel = extractBits(value, 0, 15);
    envelopeAccumulator = envelopeLevel << kEnvelopeLevelShift;
}

void Voice::writeRepeatAddress(uint32_t value) {
    loopAddress = extractBits(value, 0, 15);
}

// The predictor history, the envelope level and the loop mark survive a key on: the attack
// rises from wherever the level stands, and a voice keyed on again while it sounds restarts
// from its start address.
void Voice::keyOn(uint32_t bitValue) {
    keyOnLatch = lowByte(bitValue);
    if (keyOnLatch == 0) return;
    window()[kSamplesPerBlock] = 0;  // the first block is approached from silence
    blockAddress = startAddress;
    pitchCounter = 0;
    needsDecode = true;
    phase = EnvelopePhase::Attack;
    computeEnvelopeStep();
}

void Voice::keyOff(uint32_t bitValue) {
    keyOffLatch = lowByte(bitValue);
    if (keyOffLatch == 0 || phase == EnvelopePhase::Idle) return;
    phase = EnvelopePhase::Release;
    computeEnvelopeStep();
}

void Voice::writeFmFlag(uint32_t bitValue) {
    fmFlag = lowByte(bitValue);
}

void Voice::writeNoiseFlag(uint32_t bitValue) {
    noiseFlag = lowByte(bitValue);
}

void Voice::writeReverbFlag(uint32_t bitValue) {
    reverbFlag = lowByte(bitValue);
}

// Set until the next output step, which puts the voice's real state back.
void Voice::writeActiveFlag(uint32_t bitValue) {
    activeFlag = lowByte(bitValue);
}

// Kept so that the voice mirrors the register; this chip model raises no interrupt.
void Voice::writeIrqAddress(uint32_t value) {
    irqAddress = extractBits(value, 0, 15);
}
