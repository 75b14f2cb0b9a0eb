// The chip's ticks, a chunk of up to kChunkTicks at a time. Within a tick the chip runs the
// noise generator, the 24 voices in order (fetch compare, block flags, interpolation or noise,
// envelope, volumes, pitch counter), the capture rings, CD audio, reverb and the main volume.
// Nothing outside the chip can look between two ticks of one chunk, so the voices run one
// after the other through the whole chunk (each voice's state stays in registers), into
// per-tick sums; the order of what happens inside one tick is kept where it shows: the
// modulator's outputs are ready before the voice it modulates, and the IRQ flag is sticky, so
// which voice of a tick raised it first makes no difference.
#include <array>
#include <cstring>
#include <utility>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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
constexpr int32_t kChunk = kChunkTicks;

int32_t clamp16(int32_t v) {
    if (v > 0x7FFF) return 0x7FFF;
    if (v < -0x8000) return -0x8000;
    return v;
}

uint32_t capPitch(uint32_t step) {
    return step > kPitchCeiling - 1 ? kPitchCeiling : step;
}

// With its PMON bit (never voice 0) the previous voice's output after the envelope scales a
// voice's pitch: factor = OUTX + 8000h, step = (int16)pitch * factor >> 15, kept to 16 bits,
// so pitches of 8000h and up go wrong the way the chip's do.
uint32_t modulatedStep(uint16_t pitch, int32_t modulator) {
    const int32_t factor = modulator + 0x8000;  // 0..FFFFh
    const int32_t scaled = (static_cast<int16_t>(pitch) * factor) >> 15;
    return capPitch(static_cast<uint32_t>(scaled) & 0xFFFFu);
}

struct ChunkSums {
    int32_t left[kChunk];
    int32_t right[kChunk];
    int32_t reverbLeft[kChunk];
    int32_t reverbRight[kChunk];
};

// A voice's output at tick t times its volumes into the sums (and the reverb input).
template <bool kReverb>
inline void mixVoice(ChunkSums& sums, int32_t t, int32_t out, int32_t volumeLeft,
                     int32_t volumeRight) {
    const int32_t l = (out * volumeLeft) >> 15;
    const int32_t r = (out * volumeRight) >> 15;
    sums.left[t] += l;
    sums.right[t] += r;
    if (kReverb) {
        sums.reverbLeft[t] += l;
        sums.reverbRight[t] += r;
    }
}

// What one voice needs from the rest of the chip for a chunk.
struct VoiceInputs {
    const int16_t* noise;      // the noise generator's sample at each tick, or null
    const int32_t* modulator;  // the previous voice's outputs (PMON), or null
    bool toReverb;
    BlockLookahead* lookahead;
};

// The voice's hot state lives in locals through the loop (the per-tick sums are stores the
// compiler could not otherwise keep apart from it) and goes back to the voice around the rare
// calls that need it: block flags, a new block, an envelope step.
class HotVoice {
  public:
    explicit HotVoice(VoiceState& voice) : v(voice) { load(); }
    void load() {
        position = v.position;
        envelope = v.envelope;
        counter = v.envelopeCounter;
        rate = v.envelopeRate;
        wait = v.envelopeWait;
        flagsPending = v.flagsHandled == 0;
    }
    void store() {
        v.position = position;
        v.envelope = envelope;
        v.envelopeCounter = counter;
        v.envelopeWait = wait;
    }
    VoiceState& v;
    uint32_t position;
    int32_t envelope;
    uint32_t counter;
    EnvelopeRate rate;
    uint8_t wait;
    bool flagsPending;
};

constexpr uint32_t kBlockSpan = static_cast<uint32_t>(kSamplesPerBlock) << 12;

bool highRate(const HotVoice& h) {
    return h.rate.exponentialIncrease != 0 && h.envelope > 0x6000;
}

uint32_t counterIncrement(const HotVoice& h) {
    return static_cast<uint32_t>(highRate(h) ? h.rate.counterIncHigh : h.rate.counterInc);
}

// How many ticks from now are steady: no envelope step (the counter stays below 8000h), no
// block flags to act on (the newest sample stays below kBlockFlagsActAtSample while they are
// pending) and no new block (the position stays inside this one). At most `limit`.
int32_t steadyTicks(const HotVoice& h, uint32_t step, int32_t limit) {
    if (h.wait != 0) return 0;
    uint32_t m = static_cast<uint32_t>(limit);
    if (counterIncrement(h) > 0) {
        const uint32_t quiet =
            (0x7FFFu - h.counter) >> (highRate(h) ? h.rate.counterShiftHigh : h.rate.counterShift);
        if (quiet < m) m = quiet;
    }
    const uint32_t flagsAt = open_readings::kBlockFlagsActAtSample << 12;
    if (h.flagsPending && h.position >= flagsAt) return 0;
    if (step == 0) return static_cast<int32_t>(m);
    // The flags come before the block's end, so only one of the two limits matters.
    const uint32_t room = h.flagsPending ? (flagsAt - h.position + step - 1) / step
                                         : (kBlockSpan - 1 - h.position) / step;
    return static_cast<int32_t>(room < m ? room : m);
}

#if defined(__SSE2__)
// Four steady ticks in SSE2 registers, with the arithmetic of the scalar loop in steadyRun:
// the four taps of each tick as exact 32-bit products (the low and high halves of 16 x 16)
// floored by >> 15 and summed (the sum fits 16 bits: the weights add up to 7F80h), then the
// envelope and the two volume products the same way. Two ticks share each multiply.
inline __m128i loadFour(const int16_t* at) {
    return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(at));
}

template <bool kReverb>
void steadyFour(const int16_t* samples, uint32_t position, uint32_t step, __m128i envelope,
                __m128i volumes, int32_t* outputs, int32_t* left, int32_t* right,
                int32_t* reverbLeft, int32_t* reverbRight) {
    const uint32_t p0 = position;
    const uint32_t p1 = p0 + step;
    const uint32_t p2 = p1 + step;
    const uint32_t p3 = p2 + step;
    const auto at = [samples](uint32_t p) { return loadFour(samples + (p >> 12) - 3); };
    const auto weights = [](uint32_t p) { return loadFour(kGaussQuads.w[(p >> 4) & 0xFF]); };
    const __m128i s01 = _mm_unpacklo_epi64(at(p0), at(p1));
    const __m128i s23 = _mm_unpacklo_epi64(at(p2), at(p3));
    const __m128i w01 = _mm_unpacklo_epi64(weights(p0), weights(p1));
    const __m128i w23 = _mm_unpacklo_epi64(weights(p2), weights(p3));
    const __m128i lo01 = _mm_mullo_epi16(s01, w01);
    const __m128i hi01 = _mm_mulhi_epi16(s01, w01);
    const __m128i lo23 = _mm_mullo_epi16(s23, w23);
    const __m128i hi23 = _mm_mulhi_epi16(s23, w23);
    const __m128i t0 = _mm_srai_epi32(_mm_unpacklo_epi16(lo01, hi01), 15);
    const __m128i t1 = _mm_srai_epi32(_mm_unpackhi_epi16(lo01, hi01), 15);
    const __m128i t2 = _mm_srai_epi32(_mm_unpacklo_epi16(lo23, hi23), 15);
    const __m128i t3 = _mm_srai_epi32(_mm_unpackhi_epi16(lo23, hi23), 15);
    const __m128i a = _mm_add_epi32(_mm_unpacklo_epi32(t0, t1), _mm_unpackhi_epi32(t0, t1));
    const __m128i b = _mm_add_epi32(_mm_unpacklo_epi32(t2, t3), _mm_unpackhi_epi32(t2, t3));
    const __m128i sample = _mm_add_epi32(_mm_unpacklo_epi64(a, b), _mm_unpackhi_epi64(a, b));
    const __m128i sample16 = _mm_packs_epi32(sample, sample);
    const __m128i out = _mm_srai_epi32(
        _mm_unpacklo_epi16(_mm_mullo_epi16(sample16, envelope), _mm_mulhi_epi16(sample16, envelope)),
        15);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(outputs), out);
    const __m128i out16 = _mm_packs_epi32(out, out);  // the four outputs twice: left, right
    const __m128i lo = _mm_mullo_epi16(out16, volumes);
    const __m128i hi = _mm_mulhi_epi16(out16, volumes);
    const __m128i l = _mm_srai_epi32(_mm_unpacklo_epi16(lo, hi), 15);
    const __m128i r = _mm_srai_epi32(_mm_unpackhi_epi16(lo, hi), 15);
    const auto add = [](int32_t* to, __m128i v) {
        __m128i* p = reinterpret_cast<__m128i*>(to);
        _mm_storeu_si128(p, _mm_add_epi32(_mm_loadu_si128(p), v));
    };
    add(left, l);
    add(right, r);
    if (kReverb) {
        add(reverbLeft, l);
        add(reverbRight, r);
    }
}
#endif

// `ticks` steady ticks (see steadyTicks) of a voice with fixed volumes and a fixed step: only
// the interpolation, the envelope and volume products and the position move.
template <bool kReverb>
void steadyRun(const VoiceState& v, HotVoice& h, uint32_t step, int32_t volumeLeft,
               int32_t volumeRight, int32_t from, int32_t ticks, int32_t* outputs,
               ChunkSums& sums) {
    const int16_t* samples = v.window + VoiceState::kHistory;
    uint32_t position = h.position;
    const int32_t envelope = h.envelope;
    int32_t t = from;
    if (envelope == 0) {
        // Silent (keyed off, or not yet started): every output is 0 and adds nothing; only the
        // position moves, as the voice goes on fetching.
        for (; t < from + ticks; ++t) outputs[t] = 0;
        position += step * static_cast<uint32_t>(ticks);
    }
#if defined(__SSE2__)
    const __m128i env = _mm_set1_epi16(static_cast<int16_t>(envelope));
    const int16_t vl = static_cast<int16_t>(volumeLeft);
    const int16_t vr = static_cast<int16_t>(volumeRight);
    const __m128i volumes = _mm_set_epi16(vr, vr, vr, vr, vl, vl, vl, vl);
    for (; t + 4 <= from + ticks; t += 4) {
        steadyFour<kReverb>(samples, position, step, env, volumes, outputs + t, sums.left + t,
                            sums.right + t, sums.reverbLeft + t, sums.reverbRight + t);
        position += 4 * step;
    }
#endif
    for (; t < from + ticks; ++t) {
        const int32_t sample = gaussianInterpolate(samples + (position >> 12), (position >> 4) & 0xFF);
        const int32_t out = (sample * envelope) >> 15;
        outputs[t] = out;
        mixVoice<kReverb>(sums, t, out, volumeLeft, volumeRight);
        position += step;
    }
    h.counter += counterIncrement(h) * static_cast<uint32_t>(ticks);
    h.position = position;
}

// One voice through the chunk. The template flags take the per-tick choices out of the loop:
// a sweeping volume, pitch modulation, noise in place of the samples, reverb input.
template <bool kSweep, bool kModulated, bool kNoise, bool kReverb>
void renderVoice(ChipState& s, int n, int32_t ticks, const VoiceInputs& in, int32_t* outputs,
                 ChunkSums& sums) {
    VoiceState& v = s.voices[n];
    const uint8_t* ram = s.soundRam;
    if (!kSweep) {
        // Fixed volumes only change through register writes, which land between chunks.
        v.volumeLeft.tick();
        v.volumeRight.tick();
    }
    int32_t volumeLeft = v.volumeLeft.level;
    int32_t volumeRight = v.volumeRight.level;
    const uint32_t fixedStep = capPitch(v.pitch);
    const bool irqWatch = s.irq.armed();
    HotVoice h(v);
    for (int32_t t = 0; t < ticks; ++t) {
        if (!kSweep && !kModulated && !kNoise && !irqWatch) {
            const int32_t steady = steadyTicks(h, fixedStep, ticks - t);
            if (steady > 0) {
                steadyRun<kReverb>(v, h, fixedStep, volumeLeft, volumeRight, t, steady, outputs,
                                   sums);
                t += steady;
                if (t == ticks) break;
            }
        }
        const uint32_t sampleIndex = h.position >> 12;
        if (h.flagsPending && sampleIndex >= open_readings::kBlockFlagsActAtSample) {
            h.store();
            if (actOnBlockFlags(v)) s.endx |= 1u << n;
            h.load();
        }
        if (irqWatch && s.irq.armed()) {
            // Every tick a voice reads its block header and its current data halfword, keyed
            // on or not, noise or not.
            s.irq.access(v.blockByte);
            s.irq.access(v.blockByte + 2 + 2 * (sampleIndex >> 2));
        }
        const int32_t sample =
            kNoise ? in.noise[t]
                   : gaussianInterpolate(v.window + VoiceState::kHistory + sampleIndex,
                                         (h.position >> 4) & 0xFF);
        const int32_t out = (sample * h.envelope) >> 15;
        outputs[t] = out;
        if (h.wait != 0) {
            --h.wait;
        } else if (envelopeTick(h.rate, h.envelope, h.counter, kAdsrLimits)) {
            h.store();
            adsrAfterStep(v);
            h.load();
        }
        if (kSweep) {
            v.volumeLeft.tick();
            v.volumeRight.tick();
            volumeLeft = v.volumeLeft.level;
            volumeRight = v.volumeRight.level;
        }
        mixVoice<kReverb>(sums, t, out, volumeLeft, volumeRight);
        h.position += kModulated ? modulatedStep(v.pitch, in.modulator[t]) : fixedStep;
        if (h.position >= kBlockSpan) {
            h.position -= kBlockSpan;
            h.store();
            const PreparedBlock* ready = in.lookahead->take(n, v.nextBlockByte, v.history, ram);
            if (ready != nullptr) {
                enterBlock(v, v.nextBlockByte, ram, ready->samples, &ready->historyOut);
            } else {
                enterBlock(v, v.nextBlockByte, ram);
            }
            h.load();
        }
    }
    h.store();
}

using VoiceRenderer = void (*)(ChipState&, int, int32_t, const VoiceInputs&, int32_t*, ChunkSums&);

// Indexed by sweep << 3 | modulated << 2 | noise << 1 | reverb.
template <int... I>
constexpr std::array<VoiceRenderer, sizeof...(I)> makeRenderers(std::integer_sequence<int, I...>) {
    return {{&renderVoice<(I & 8) != 0, (I & 4) != 0, (I & 2) != 0, (I & 1) != 0>...}};
}
constexpr auto kRenderers = makeRenderers(std::make_integer_sequence<int, 16>{});

}  // namespace

void ExactCore::Impl::renderChunk(int16_t* out, int32_t ticks) {
    ChipState& s = state;
    int16_t noise[kChunk];
    for (int32_t t = 0; t < ticks; ++t) {
        s.noise.tick();
        noise[t] = s.noise.sample();
    }
    lookahead.fill(s, ticks);
    ChunkSums sums;
    std::memset(&sums, 0, sizeof sums);
    // outputs[0] holds the voice's last output of the chunk before (OUTX), outputs[1 + t] its
    // output at tick t. The previous voice's array is the modulator of the next one.
    int32_t buffers[2][kChunk + 1];
    int32_t capture1[kChunk];
    int32_t capture3[kChunk];
    int32_t* previous = buffers[0];
    int32_t* current = buffers[1];
    for (int n = 0; n < ChipState::kVoices; ++n) {
        const uint32_t bit = 1u << n;
        VoiceInputs in{(s.noiseVoices & bit) != 0 ? noise : nullptr, nullptr,
                       (s.reverbVoices & bit) != 0, &lookahead};
        if (n > 0 && (s.pitchModulation & bit) != 0) {
            in.modulator = open_readings::kPitchModUsesThisTick ? previous + 1 : previous;
        }
        current[0] = s.voices[n].output;
        const VolumeChannel& left = s.voices[n].volumeLeft;
        const VolumeChannel& right = s.voices[n].volumeRight;
        const int which = ((left.sweeping | right.sweeping) != 0) << 3 |
                          (in.modulator != nullptr) << 2 | (in.noise != nullptr) << 1 |
                          static_cast<int>(in.toReverb);
        kRenderers[static_cast<size_t>(which)](s, n, ticks, in, current + 1, sums);
        s.voices[n].output = current[ticks];
        if (n == 1) std::memcpy(capture1, current + 1, sizeof(int32_t) * static_cast<size_t>(ticks));
        if (n == 3) std::memcpy(capture3, current + 1, sizeof(int32_t) * static_cast<size_t>(ticks));
        int32_t* swap = previous;
        previous = current;
        current = swap;
    }

    // CD audio: the raw samples go to the capture rings whether CD audio is on or not; with
    // SPUCNT bit 0 they are mixed at the CD volumes, with bit 2 also fed to reverb.
    int32_t cdLeft[kChunk];
    int32_t cdRight[kChunk];
    for (int32_t t = 0; t < ticks; ++t) {
        int16_t left = 0;
        int16_t right = 0;
        cd.pop(left, right);
        s.capture.write(s.soundRam, s.irq, left, right, static_cast<int16_t>(capture1[t]),
                        static_cast<int16_t>(capture3[t]));
        cdLeft[t] = 0;
        cdRight[t] = 0;
        if ((s.control & kCdEnableBit) != 0) {
            cdLeft[t] = (left * s.cdVolumeLeft) >> 15;
            cdRight[t] = (right * s.cdVolumeRight) >> 15;
            if ((s.control & kCdReverbBit) != 0) {
                sums.reverbLeft[t] += cdLeft[t];
                sums.reverbRight[t] += cdRight[t];
            }
        }
        sums.reverbLeft[t] = clamp16(sums.reverbLeft[t]);
        sums.reverbRight[t] = clamp16(sums.reverbRight[t]);
    }
    int32_t wetLeft[kChunk];
    int32_t wetRight[kChunk];
    const bool reverbRuns = !open_readings::kReverbNeedsTransferMode || s.capture.running != 0;
    reverbRender(s.reverb, s.soundRam, s.control, reverbRuns, s.irq, sums.reverbLeft,
                 sums.reverbRight, wetLeft, wetRight, ticks);

    const bool voicesHeard = (s.control & (kEnableBit | kUnmuteBit)) == (kEnableBit | kUnmuteBit);
    for (int32_t t = 0; t < ticks; ++t) {
        // Mute (SPUCNT bit 14 = 0) and disable silence the voices and the reverb's output, never
        // CD audio. The reverb itself runs on (a reading: only the output is documented as
        // muted), so its tail after an unmute is what it has become meanwhile.
        int32_t mixLeft = 0;
        int32_t mixRight = 0;
        if (voicesHeard) {
            // The wet signal comes already scaled by vLOUT/vROUT (the unit's last product).
            mixLeft = sums.left[t] + wetLeft[t];
            mixRight = sums.right[t] + wetRight[t];
        }
        if (open_readings::kMainVolumeScalesCd) {
            mixLeft += cdLeft[t];
            mixRight += cdRight[t];
        }
        s.mainLeft.tick();
        s.mainRight.tick();
        int32_t outLeft = (clamp16(mixLeft) * s.mainLeft.level) >> 15;
        int32_t outRight = (clamp16(mixRight) * s.mainRight.level) >> 15;
        if (!open_readings::kMainVolumeScalesCd) {
            outLeft += cdLeft[t];
            outRight += cdRight[t];
        }
        out[2 * t] = static_cast<int16_t>(clamp16(outLeft));
        out[2 * t + 1] = static_cast<int16_t>(clamp16(outRight));
    }
}
