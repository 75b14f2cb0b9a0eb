#pragma once
// One of the 24 voices: its registers, its ADPCM decoder position and history, the interpolator
// window, the ADSR envelope and the two volume sweeps. Plain data, so that the chip's state is
// one flat image; the behaviour is in exact_voice.cpp and the tick loop.
#include <cstdint>

#include "adpcm_decoder.h"
#include "envelope_engine.h"
#include "irq_comparator.h"

enum class AdsrPhase : uint8_t { Attack, Decay, Sustain, Release };

// A volume register (voice or main) and the level it gives: fixed (bit 15 = 0) or a sweep on
// the envelope engine starting from the current level.
struct VolumeChannel {
    int32_t level = 0;  // current volume, -8000h..7FFFh, readable at 1F801E00h + ...
    uint32_t counter = 0;
    EnvelopeRate rate;
    EnvelopeLimits limits{0, 0x7FFF};
    uint16_t reg = 0;
    uint8_t sweeping = 0;
    uint8_t padding = 0;

    void write(uint16_t value);
    // Fixed volumes take effect on the next tick; sweeps step.
    void tick() {
        if (sweeping != 0) {
            envelopeTick(rate, level, counter, limits);
        } else {
            // Bits 14-0 hold half the volume: shifted left by one, read as signed 16 bits.
            level = static_cast<int16_t>(static_cast<uint16_t>(reg << 1));
        }
    }
};

struct VoiceState {
    static constexpr int kHistory = 3;  // samples of the previous block the window still needs

    // Registers as written.
    uint16_t pitch = 0;
    uint16_t startAddress = 0;   // 8-byte units
    uint16_t repeatAddress = 0;  // 8-byte units; also set by loop-start flags
    uint16_t adsrLow = 0;
    uint16_t adsrHigh = 0;
    VolumeChannel volumeLeft;
    VolumeChannel volumeRight;

    // Envelope.
    int32_t envelope = 0;  // ENVX, 0..7FFFh
    uint32_t envelopeCounter = 0;
    EnvelopeRate envelopeRate;
    AdsrPhase phase = AdsrPhase::Release;
    uint8_t flagsHandled = 1;  // this block's end/repeat flags have acted
    uint8_t blockFlags = 0;
    uint8_t envelopeWait = 0;  // ticks until the envelope starts after a key-on

    // Decoder: the block being played, the one after it, and the position in it (bits 12 and
    // up the sample index 0..27, bits 4-11 the interpolation index).
    uint32_t blockByte = 0;
    uint32_t nextBlockByte = kBlockBytes;
    uint32_t position = 0;
    AdpcmHistory history;
    // window[0..2]: the last three samples of the previous block; window[3..30]: this block.
    int16_t window[kHistory + kSamplesPerBlock + 1] = {};
    int32_t output = 0;  // the last sample after the envelope (OUTX, capture, modulation)
};

// Register writes that need more than a store.
void writeAdsrLow(VoiceState& v, uint16_t value);
void writeAdsrHigh(VoiceState& v, uint16_t value);
// The rate of the current ADSR phase, from the ADSR registers.
void refreshEnvelopeRate(VoiceState& v);

// Key-on: start address, envelope at 0 in attack, ENDX is the caller's. The decoder history
// carries over (the predictor recordings need the history the keyed-off voice reached).
void keyOn(VoiceState& v, const uint8_t* soundRam);
void keyOff(VoiceState& v);
// The decoder's history as it stands now, kDecoderLeadSamples ahead of the newest sample.
AdpcmHistory decoderHistory(const VoiceState& v, const uint8_t* soundRam);

// Moves to the next block: decodes it, latches a loop-start address, resets the flags.
void enterBlock(VoiceState& v, uint32_t blockByte, const uint8_t* soundRam);
// The block's end and repeat flags acting near its end. Returns true when an end flag set
// the voice's ENDX bit.
bool actOnBlockFlags(VoiceState& v);

// One ADSR tick: the level steps and the phase moves on after a step.
inline void adsrTick(VoiceState& v) {
    if (v.envelopeWait != 0) {
        --v.envelopeWait;
        return;
    }
    if (!envelopeTick(v.envelopeRate, v.envelope, v.envelopeCounter, kAdsrLimits)) return;
    if (v.phase == AdsrPhase::Attack) {
        if (v.envelope >= 0x7FFF) {
            v.phase = AdsrPhase::Decay;
            refreshEnvelopeRate(v);
        }
    } else if (v.phase == AdsrPhase::Decay) {
        // The decay ends after the first step that leaves the level strictly below
        // (N + 1) * 800h: the console settles at 07FFh for N = 0 and 3FFAh for N = 7.
        const int32_t target = ((v.adsrLow & 0x0F) + 1) * 0x800;
        if (v.envelope < target) {
            v.phase = AdsrPhase::Sustain;
            refreshEnvelopeRate(v);
        }
    }
}

// Advances the pitch counter by `step` (already modulated and capped) and moves on to the
// next block whenever the counter passes the 28th sample.
inline void advancePosition(VoiceState& v, uint32_t step, const uint8_t* soundRam) {
    v.position += step;
    constexpr uint32_t kBlockSpan = static_cast<uint32_t>(kSamplesPerBlock) << 12;
    if (v.position >= kBlockSpan) {
        v.position -= kBlockSpan;
        enterBlock(v, v.nextBlockByte, soundRam);
    }
}
