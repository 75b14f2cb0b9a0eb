#include "exact_voice.h"

#include <cstring>

#include "fixed_point.h"
#include "open_readings.h"

namespace {

constexpr uint32_t kSoundRamMask = 0x7FFFF;

uint32_t blockByteOf(uint16_t unitAddress) {
    uint32_t byte = static_cast<uint32_t>(unitAddress) * 8u;
    if (open_readings::kBlockAddressIgnoresBit0) byte &= ~(kBlockBytes - 1);
    return byte & kSoundRamMask;
}

bool isAllOnes(int shift, int step) { return shift == 31 && step == 3; }

}  // namespace

void VolumeChannel::write(uint16_t value) {
    reg = value;
    sweeping = (value & 0x8000) != 0 ? 1 : 0;
    if (sweeping == 0) return;  // the fixed level lands on the next tick
    const bool exponential = (value & 0x4000) != 0;
    const bool decreasing = (value & 0x2000) != 0;
    const bool phaseNegative = (value & 0x1000) != 0;
    const int shift = extractBits(value, 2, 6);
    const int step = extractBits(value, 0, 1);
    rate = makeEnvelopeRate(shift, step, exponential, decreasing, phaseNegative,
                            isAllOnes(shift, step));
    limits = sweepLimits(decreasing, phaseNegative);
    counter = 0;
}

void refreshEnvelopeRate(VoiceState& v) {
    const uint32_t adsr = static_cast<uint32_t>(v.adsrHigh) << 16 | v.adsrLow;
    switch (v.phase) {
        case AdsrPhase::Attack: {
            const int shift = static_cast<int>((adsr >> 10) & 0x1F);
            const int step = static_cast<int>((adsr >> 8) & 0x3);
            v.envelopeRate = makeEnvelopeRate(shift, step, (adsr & 0x8000) != 0, false, false,
                                              isAllOnes(shift, step));
            break;
        }
        case AdsrPhase::Decay:
            // Always exponential, always -8 (step field 0); a 4-bit shift never freezes.
            v.envelopeRate =
                makeEnvelopeRate(static_cast<int>((adsr >> 4) & 0xF), 0, true, true, false, false);
            break;
        case AdsrPhase::Sustain: {
            const int shift = static_cast<int>((adsr >> 24) & 0x1F);
            const int step = static_cast<int>((adsr >> 22) & 0x3);
            v.envelopeRate =
                makeEnvelopeRate(shift, step, (adsr >> 31) != 0, ((adsr >> 30) & 1) != 0, false,
                                 isAllOnes(shift, step));
            break;
        }
        case AdsrPhase::Release: {
            // Always decreasing by -8; shift 1Fh never steps (ENVX stood still for 3 s).
            const int shift = static_cast<int>((adsr >> 16) & 0x1F);
            v.envelopeRate =
                makeEnvelopeRate(shift, 0, ((adsr >> 21) & 1) != 0, true, false, shift == 31);
            break;
        }
    }
}

void writeAdsrLow(VoiceState& v, uint16_t value) {
    v.adsrLow = value;
    refreshEnvelopeRate(v);
}

void writeAdsrHigh(VoiceState& v, uint16_t value) {
    // A release rate rewritten during the release takes effect at once.
    v.adsrHigh = value;
    refreshEnvelopeRate(v);
}

void enterBlock(VoiceState& v, uint32_t blockByte, const uint8_t* soundRam) {
    // The interpolator still needs the newest three samples of the block it leaves.
    std::memmove(v.window, v.window + kSamplesPerBlock, VoiceState::kHistory * sizeof(int16_t));
    v.blockByte = blockByte & kSoundRamMask & ~(kBlockBytes - 1);
    const uint8_t* block = soundRam + v.blockByte;
    v.blockFlags = block[1];
    if ((v.blockFlags & kFlagLoopStart) != 0) {
        v.repeatAddress = static_cast<uint16_t>(v.blockByte >> 3);  // the loop-start latch
    }
    decodeAdpcmBlock(block, v.history, v.window + VoiceState::kHistory);
    v.nextBlockByte = (v.blockByte + kBlockBytes) & kSoundRamMask;
    v.flagsHandled = 0;
}

bool actOnBlockFlags(VoiceState& v) {
    v.flagsHandled = 1;
    if ((v.blockFlags & kFlagEnd) == 0) return false;
    // The repeat address is read now, so a repeat register rewritten before this point is the
    // one the jump takes.
    v.nextBlockByte = blockByteOf(v.repeatAddress);
    if ((v.blockFlags & kFlagRepeat) == 0) {
        // End without repeat: forced release with ENVX at 0 (pinned on a console: ENDX 1,
        // ENVX 0, the repeat register unchanged). The voice keeps fetching from the repeat
        // address.
        v.phase = AdsrPhase::Release;
        v.envelope = 0;
        refreshEnvelopeRate(v);
    }
    return true;
}

AdpcmHistory decoderHistory(const VoiceState& v, const uint8_t* soundRam) {
    // The decoder works a few samples ahead of the interpolator; its last two outputs are the
    // history. Past the end of this block they come from the next one.
    const uint32_t decoded = (v.position >> 12) + open_readings::kDecoderLeadSamples;
    if (decoded < static_cast<uint32_t>(kSamplesPerBlock)) {
        return AdpcmHistory{v.window[VoiceState::kHistory + decoded],
                            v.window[VoiceState::kHistory + decoded - 1]};
    }
    AdpcmHistory history = v.history;
    int16_t next[kSamplesPerBlock + 1];
    next[0] = v.window[VoiceState::kHistory + kSamplesPerBlock - 1];
    decodeAdpcmBlock(soundRam + v.nextBlockByte, history, next + 1);
    const uint32_t at = decoded - kSamplesPerBlock + 1;
    return AdpcmHistory{next[at], next[at - 1]};
}

void keyOn(VoiceState& v, const uint8_t* soundRam) {
    if (open_readings::kKeyOnLoadsRepeat) v.repeatAddress = v.startAddress;
    v.history = decoderHistory(v, soundRam);
    v.envelope = 0;
    v.envelopeCounter = 0;
    v.phase = AdsrPhase::Attack;
    v.envelopeWait = open_readings::kEnvelopeStartTicks;
    refreshEnvelopeRate(v);
    enterBlock(v, blockByteOf(v.startAddress), soundRam);
    v.position = open_readings::kKeyOnNewestSample << 12;
}

void keyOff(VoiceState& v) {
    if (v.phase == AdsrPhase::Release) return;  // a second key-off changes nothing
    v.envelopeWait = 0;
    v.phase = AdsrPhase::Release;
    v.envelopeCounter = 0;
    refreshEnvelopeRate(v);
}
