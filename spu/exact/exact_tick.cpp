// One tick of the chip, in the order the chip does it: the noise generator, the 24 voices
// (fetch compare, block flags, interpolation or noise, envelope, volumes, pitch counter), the
// capture rings, CD audio, reverb, then the main volume.
#include "exact_core_impl.h"
#include "fixed_point.h"
#include "gaussian_interpolator.h"
#include "open_readings.h"

namespace {

constexpr uint16_t kEnableBit = 0x8000;
constexpr uint16_t kUnmuteBit = 0x4000;
constexpr uint16_t kCdEnableBit = 0x0001;
constexpr uint16_t kCdReverbBit = 0x0004;
constexpr uint32_t kPitchCeiling = 0x4000;  // not 3FFFh: 4000h plays at 176.4 kHz

int32_t clamp16(int32_t v) {
    if (v > 0x7FFF) return 0x7FFF;
    if (v < -0x8000) return -0x8000;
    return v;
}

// A voice's pitch step this tick. With its PMON bit (never voice 0) the previous voice's output
// after the envelope scales it: factor = OUTX + 8000h, step = (int16)pitch * factor >> 15, kept
// to 16 bits, so pitches of 8000h and up go wrong the way the chip's do.
uint32_t pitchStep(uint16_t pitch, bool modulated, int32_t previousOutput) {
    uint32_t step = pitch;
    if (modulated) {
        const int32_t factor = previousOutput + 0x8000;  // 0..FFFFh
        const int32_t scaled = (static_cast<int16_t>(pitch) * factor) >> 15;
        step = static_cast<uint32_t>(scaled) & 0xFFFFu;
    }
    return step > kPitchCeiling - 1 ? kPitchCeiling : step;
}

}  // namespace

void ExactCore::Impl::tick(int16_t& left, int16_t& right) {
    ChipState& s = state;
    uint8_t* ram = s.soundRam;
    s.noise.tick();

    int32_t sumLeft = 0;
    int32_t sumRight = 0;
    int32_t reverbLeft = 0;
    int32_t reverbRight = 0;
    int32_t previousOutput = 0;  // OUTX of the voice before, for pitch modulation
    for (int n = 0; n < ChipState::kVoices; ++n) {
        VoiceState& v = s.voices[n];
        const uint32_t bit = 1u << n;
        uint32_t sampleIndex = v.position >> 12;
        if (v.flagsHandled == 0 && sampleIndex >= open_readings::kBlockFlagsActAtSample) {
            if (actOnBlockFlags(v)) s.endx |= bit;
        }
        if (s.irq.armed()) {
            // Every tick a voice reads its block header and its current data halfword, keyed
            // on or not, noise or not.
            s.irq.access(v.blockByte);
            s.irq.access(v.blockByte + 2 + 2 * (sampleIndex >> 2));
        }
        const int32_t sample =
            (s.noiseVoices & bit) != 0
                ? s.noise.sample()
                : gaussianInterpolate(v.window + VoiceState::kHistory + sampleIndex,
                                      (v.position >> 4) & 0xFF);
        const int32_t out = (sample * v.envelope) >> 15;
        const int32_t lastTickOutput = v.output;
        v.output = out;
        adsrTick(v);

        v.volumeLeft.tick();
        v.volumeRight.tick();
        const int32_t l = (out * v.volumeLeft.level) >> 15;
        const int32_t r = (out * v.volumeRight.level) >> 15;
        sumLeft += l;
        sumRight += r;
        if ((s.reverbVoices & bit) != 0) {
            reverbLeft += l;
            reverbRight += r;
        }

        const bool modulated = n > 0 && (s.pitchModulation & bit) != 0;
        advancePosition(v, pitchStep(v.pitch, modulated, previousOutput), ram);
        previousOutput = open_readings::kPitchModUsesThisTick ? out : lastTickOutput;
    }

    // CD audio: the raw samples go to the capture rings whether CD audio is enabled or not.
    int16_t cdLeft = 0;
    int16_t cdRight = 0;
    cd.popFrame(cdLeft, cdRight);
    s.capture.write(ram, s.irq, cdLeft, cdRight, static_cast<int16_t>(s.voices[1].output),
                    static_cast<int16_t>(s.voices[3].output));
    int32_t cdOutLeft = 0;
    int32_t cdOutRight = 0;
    if ((s.control & kCdEnableBit) != 0) {
        cdOutLeft = (cdLeft * s.cdVolumeLeft) >> 15;
        cdOutRight = (cdRight * s.cdVolumeRight) >> 15;
        if ((s.control & kCdReverbBit) != 0) {
            reverbLeft += cdOutLeft;
            reverbRight += cdOutRight;
        }
    }

    ReverbIo io{clamp16(reverbLeft), clamp16(reverbRight), 0, 0};
    reverbTick(s.reverb, ram, s.registers, s.irq, io);
    const int32_t wetLeft = (clamp16(io.outLeft) * static_cast<int16_t>(s.reg(0xD84))) >> 15;
    const int32_t wetRight = (clamp16(io.outRight) * static_cast<int16_t>(s.reg(0xD86))) >> 15;

    // Mute (SPUCNT bit 14 = 0) and disable silence the voices and reverb, never CD audio.
    const bool voicesHeard = (s.control & (kEnableBit | kUnmuteBit)) == (kEnableBit | kUnmuteBit);
    int32_t mixLeft = voicesHeard ? sumLeft + wetLeft : 0;
    int32_t mixRight = voicesHeard ? sumRight + wetRight : 0;
    if (open_readings::kMainVolumeScalesCd) {
        mixLeft += cdOutLeft;
        mixRight += cdOutRight;
    }
    s.mainLeft.tick();
    s.mainRight.tick();
    int32_t outLeft = (clamp16(mixLeft) * s.mainLeft.level) >> 15;
    int32_t outRight = (clamp16(mixRight) * s.mainRight.level) >> 15;
    if (!open_readings::kMainVolumeScalesCd) {
        outLeft += cdOutLeft;
        outRight += cdOutRight;
    }
    left = static_cast<int16_t>(clamp16(outLeft));
    right = static_cast<int16_t>(clamp16(outRight));
}
