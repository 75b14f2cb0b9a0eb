#pragma once
#include <cstdint>

#include "adpcm_lanes.h"
#include "quiet_run_kernels.h"

class MixAccumulator;

// Prediction coefficients of one ADPCM block filter, in 1/64: f0 weighs the last decoded
// sample, f1 the one before it.
struct AdpcmFilter {
    int32_t f0;
    int32_t f1;
};

// The chip has five filters; a block header can name 16, the rest decode as filter 0.
constexpr int kAdpcmFilterCount = 5;
extern const AdpcmFilter AdpcmFilterTable[kAdpcmFilterCount];

enum class EnvelopePhase : int32_t { Idle = 0, Attack = 1, Decay = 2, Sustain = 3, Release = 4 };

// One of the SPU's 24 voices: plays a chain of 16-byte ADPCM blocks out of sound RAM at its
// own pitch, through its own ADSR envelope and its own left and right volume.
//
// The implementation is split by concern: voice_registers.cpp (register decoding, key on/off,
// getters), voice_adpcm.cpp (block decoding and block flags), voice_envelope.cpp (ADSR) and
// voice_output.cpp (the per-sample output step and the volume sweep).
class Voice {
  public:
    static constexpr int kSamplesPerBlock = 28;
    static constexpr int32_t kPitchUnity = 0x1000;      // 1 source sample per output sample
    static constexpr int32_t kBlockEnd = 28 * 0x1000;   // pitchCounter at the end of a block
    static constexpr int32_t kEnvelopeFull = 0xFFFFFF;  // 24-bit envelope full scale
    static constexpr int32_t kVolumeLimit = 0xFFFFFF;   // current volume bound, scaled by 1024
    static constexpr int kBlockBytes = 16;              // header, flags, 14 data bytes
    static constexpr int32_t kBlockUnits = 2;           // a block in 8-byte address units
    static constexpr uint32_t kSoundRamMask = 0x7FFFF;  // byte index inside the 512 KiB
    static constexpr int32_t kAddressMask = 0xFFFF;     // register addresses are 16 bits
    // Entries past a span's end that renderSpan may add 0 to (vector steps of whole groups).
    static constexpr int32_t kSpanPadding = quietrun::kGroupFrames - 1;

    Voice();
    virtual ~Voice() = default;

    void setSoundRam(const uint8_t* ram) { soundRam = ram; }

    // Per-voice registers (sub-registers 0x0 to 0xE); only the low 16 bits of value count.
    void writeVolumeLeft(uint32_t value);
    void writeVolumeRight(uint32_t value);
    void writePitch(uint32_t value);
    void writeStartAddress(uint32_t value);
    void writeAdsr1(uint32_t value);
    void writeAdsr2(uint32_t value);
    void writeEnvelopeLevel(uint32_t value);
    void writeRepeatAddress(uint32_t value);

    // Bit registers: each call gets this voice's bit, 0 or 1; the low 8 bits are stored.
    void keyOn(uint32_t bit);
    void keyOff(uint32_t bit);
    void writeFmFlag(uint32_t bit);
    void writeNoiseFlag(uint32_t bit);
    void writeReverbFlag(uint32_t bit);
    void writeActiveFlag(uint32_t bit);
    void writeIrqAddress(uint32_t value);

    // What the status copy after each batch shows in the register shadow.
    uint16_t getEnvelopeLevel() const { return static_cast<uint16_t>(envelopeLevel & 0xFFFF); }
    uint16_t getRepeatAddress() const { return static_cast<uint16_t>(loopAddress & 0xFFFF); }
    int32_t isKeyOn() const { return keyOnLatch != 0 ? 1 : 0; }
    int32_t isKeyOff() const { return keyOffLatch != 0 ? 1 : 0; }
    int32_t isReverb() const { return reverbFlag != 0 ? 1 : 0; }
    int32_t isActive() const { return activeFlag != 0 ? 1 : 0; }

    // One output step: block handling, volume and envelope step, interpolation, scaling, and
    // one contribution to the accumulator. An idle voice only clears its active flag.
    void renderSample(MixAccumulator& mix);

    // `frames` output steps in a row, each adding its contribution (narrowed to 16 bits) to
    // sumLeft[i] and sumRight[i]. The same steps as renderSample, frame for frame: between two
    // events (a block end not decoded ahead or one that stops the voice, an envelope phase
    // change, a sweep reaching its bound) the steps are straight-line arithmetic and run as one
    // quiet run (voice_quiet_run.cpp); at an event one exact step runs. The sums must have
    // room for frames + kSpanPadding entries; the ones past `frames` get 0 added.
    // An idle voice costs one test and one store, inline, wherever it is asked for frames.
    void renderSpan(int32_t* sumLeft, int32_t* sumRight, int32_t frames) {
        if (phase == EnvelopePhase::Idle) {
            activeFlag = 0;
            return;
        }
        renderSoundingSpan(sumLeft, sumRight, frames);
    }

    // Decoding ahead (voice_decode_plan.cpp): before a span of `frames` the voice lists the
    // blocks it will decode in it (at most kMaxPlannedBlocks); the caller decodes planned
    // block i of every voice side by side through planLane(i). The next renderSpan takes them
    // in order and drops what it did not use.
    int32_t planDecodes(int32_t frames) {
        return phase == EnvelopePhase::Idle ? 0 : planSoundingDecodes(frames);
    }
    int32_t plannedBlocks() const { return planCount; }
    void planLane(int32_t index, adpcm::Lane& lane);

    // The steps renderSample is made of; public so that tests can drive them one by one.
    void decodeBlock();
    void processBlockFlags();
    void computeEnvelopeStep();
    void stepEnvelope();
    void stepVolume();

    // Read-only views of the state, for tests and tools.
    EnvelopePhase getPhase() const { return phase; }
    int32_t getEnvelopeAccumulator() const { return envelopeAccumulator; }
    int32_t getEnvelopeStep() const { return envelopeStep; }
    int32_t getSignedEnvelopeLevel() const { return envelopeLevel; }
    int32_t getPitch() const { return pitch; }
    int32_t getPitchCounter() const { return pitchCounter; }
    int32_t getBlockAddress() const { return blockAddress; }
    int32_t getStartAddress() const { return startAddress; }
    int32_t getCurrentVolumeLeft() const { return currentVolumeLeft; }
    int32_t getCurrentVolumeRight() const { return currentVolumeRight; }
    int32_t getFixedVolumeLeft() const { return fixedVolumeLeft; }
    int32_t getFixedVolumeRight() const { return fixedVolumeRight; }
    int32_t getSweepRateLeft() const { return sweepRateLeft; }
    int32_t getSweepRateRight() const { return sweepRateRight; }
    bool isSweepLeft() const { return sweepLeft != 0; }
    bool isSweepRight() const { return sweepRight != 0; }
    bool isSweepDecreaseLeft() const { return sweepDecreaseLeft != 0; }
    bool isSweepExponentialLeft() const { return sweepExponentialLeft != 0; }
    int32_t getAttackRate() const { return attackRate; }
    int32_t getDecayRate() const { return decayRate; }
    int32_t getSustainLevel() const { return sustainLevel; }
    int32_t getSustainRate() const { return sustainRate; }
    bool isSustainDecrease() const { return sustainDecrease != 0; }
    int32_t getReleaseRate() const { return releaseRate; }
    int32_t getHistory1() const { return history1; }
    int32_t getHistory2() const { return history2; }
    int32_t windowSample(int index) const { return window()[index]; }
    int32_t getIrqAddress() const { return irqAddress; }
    int32_t getFmFlag() const { return fmFlag; }
    int32_t getNoiseFlag() const { return noiseFlag; }

    // Test hooks: place the predictor and window state directly.
    void setHistoryForTest(int32_t h1, int32_t h2) {
        history1 = h1;
        history2 = h2;
    }
    void setWindowSampleForTest(int index, int32_t v) { window()[index] = v; }
    void setPitchCounterForTest(int32_t c) { pitchCounter = c; }
    void setBlockAddressForTest(int32_t a) { blockAddress = a; }
    void setPhaseForTest(EnvelopePhase p) { phase = p; }
    void setEnvelopeAccumulatorForTest(int32_t a) {
        envelopeAccumulator = a;
        envelopeLevel = a >> 8;
    }
    void setNeedsDecodeForTest(bool v) { needsDecode = v; }

  private:
    // What stays fixed over a quiet run: each per-step increment. A side or an envelope that
    // is held (fixed volume, a sweep resting at its bound, a sustain at full) moves by 0.
    struct QuietRun {
        int32_t frames;
        int32_t volumeStepLeft;
        int32_t volumeStepRight;
        int32_t envelopeStep;
    };

    static constexpr int32_t kMaxPlannedBlocks = 12;  // enough for a chunk up to pitch 0x2A00

    // The next planned block into the window, if it is the one at blockAddress.
    bool takePlannedBlock();
    // Planned blocks from the next one on that a quiet run may play into.
    int32_t continuingBlocks() const;
    // After a quiet run that played into `crossed` planned blocks: the state the block ends
    // in it would have left (addresses, window, history, counter inside the block).
    void settleCrossedBlocks(int32_t crossed);

    void renderSoundingSpan(int32_t* sumLeft, int32_t* sumRight, int32_t frames);
    int32_t planSoundingDecodes(int32_t frames);

    int32_t* window() { return stream + windowBase; }
    const int32_t* window() const { return stream + windowBase; }
    int32_t* plannedSamples(int32_t index) {
        return stream + kSamplesPerBlock + 1 + index * kSamplesPerBlock;
    }
    // Back to windowBase 0 at the end of a span.
    void rebaseWindow();

    // One exact output step of a sounding voice, added to the two sums (voice_output.cpp).
    void renderStep(int32_t& sumLeft, int32_t& sumRight);
    // How many steps from now, at most `limit`, contain no event (voice_quiet_run.cpp).
    QuietRun findQuietRun(int32_t limit) const;
    void renderQuietRun(int32_t* sumLeft, int32_t* sumRight, const QuietRun& run);
    // The envelope's and one volume side's share of that: steps without a phase change or a
    // clamp, and the increment they move by (voice_envelope.cpp, voice_output.cpp).
    int32_t envelopeQuietSteps(int32_t limit, int32_t& step) const;
    static int32_t volumeQuietSteps(int32_t sweep, int32_t sweepRate, int32_t decrease,
                                    int32_t current, int32_t limit, int32_t& step);

    const uint8_t* soundRam = nullptr;  // the core's 512 KiB, not owned; never written
    int32_t irqAddress = 0;             // stored only; no interrupt is raised

    // Volume registers, decoded.
    int32_t sweepLeft = 0;
    int32_t sweepRight = 0;
    int32_t fixedVolumeLeft = 0;  // -0x3FFF..0x3FFF
    int32_t fixedVolumeRight = 0;
    int32_t sweepRateLeft = 0;  // 0..127, or that minus 0x3FFF with bit 12
    int32_t sweepRateRight = 0;
    int32_t sweepExponentialLeft = 0;  // stored only
    int32_t sweepExponentialRight = 0;
    int32_t sweepDecreaseLeft = 0;
    int32_t sweepDecreaseRight = 0;

    int32_t pitch = 0;         // 0x1000 = 44100 Hz
    int32_t startAddress = 0;  // in 8-byte units

    // ADSR registers, decoded.
    int32_t attackExponential = 0;   // stored only
    int32_t attackRate = 0;          // 0..127
    int32_t decayRate = 0;           // 0..15
    int32_t sustainLevel = 0;        // 0..15
    int32_t sustainExponential = 0;  // stored only
    int32_t sustainDecrease = 0;
    int32_t sustainRate = 0;         // 0..127
    int32_t releaseExponential = 0;  // stored only
    int32_t releaseRate = 0;         // 0..31

    int32_t envelopeLevel = 0;  // envelopeAccumulator >> 8: 0..0xFFFF, or -1
    int32_t loopAddress = 0;    // repeat address register and loop mark, 8-byte units
    int32_t keyOnLatch = 0;
    int32_t keyOffLatch = 0;
    int32_t fmFlag = 0;     // stored only
    int32_t noiseFlag = 0;  // stored only
    int32_t reverbFlag = 0;
    int32_t activeFlag = 0;
    EnvelopePhase phase = EnvelopePhase::Idle;

    // The sample window, [0] the previous block's last sample and [1..28] the current block,
    // at stream[windowBase]. Inside a span the blocks decoded ahead follow it in the stream,
    // block r at 29 + 28 r, so that the window of planned block r starts at 28 (r + 1) and a
    // quiet run can read on across block ends. Between spans windowBase is 0.
    // The slack past the last block is never played; vector row loads may read into it.
    int32_t stream[kSamplesPerBlock + 1 + kMaxPlannedBlocks * kSamplesPerBlock +
                   quietrun::kRowSlack] = {};
    int32_t windowBase = 0;
    int32_t pitchCounter = 0;  // in 1/4096 source sample, inside the current block
    bool needsDecode = true;
    int32_t blockAddress = 0;       // in 8-byte units; a block is 2 units
    int32_t currentVolumeLeft = 0;  // scaled by 1024, within -0xFFFFFF..0xFFFFFF
    int32_t currentVolumeRight = 0;
    int32_t envelopeAccumulator = 0;  // 24-bit fixed point, 0xFFFFFF = full scale
    int32_t envelopeStep = 0;         // added per output sample
    int32_t history1 = 0;             // last decoded sample (predictor state)
    int32_t history2 = 0;             // the one before

    // Blocks decoded ahead for the current span; valid only inside it.
    int32_t planCount = 0;
    int32_t planNext = 0;  // the next one renderStep takes
    int32_t plannedAddress[kMaxPlannedBlocks] = {};
    int32_t plannedLoop[kMaxPlannedBlocks] = {};  // the loop address once the block is reached
    // Reached by a block end that keeps the voice sounding: a quiet run may play on into it.
    bool plannedContinues[kMaxPlannedBlocks] = {};
};
