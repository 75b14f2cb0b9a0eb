#include "adpcm_decoder.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "fixed_point.h"
#include "open_readings.h"

namespace {

// Filter weights in 64ths, filters 0-4.
struct FilterWeights {
    int32_t f0;
    int32_t f1;
};
constexpr FilterWeights kFilters[5] = {{0, 0}, {60, 0}, {115, -52}, {98, -55}, {122, -60}};

int32_t clampTo16(int32_t v) {
    if (v > 0x7FFF) return 0x7FFF;
    if (v < -0x8000) return -0x8000;
    return v;
}

// The serial part of a block with the filter's weights as constants, so that the products can
// become shifts and adds. The nibble value is folded into the sum before the shift,
// (p >> 6) + b == (p + (b << 6)) >> 6, which leaves one multiply, one add and one shift on the
// chain from one sample to the next.
template <int32_t F0, int32_t F1>
void predict(const int32_t* base, AdpcmHistory& history, int16_t* out) {
    int32_t old = history.old;
    int32_t older = history.older;
    for (int i = 0; i < kSamplesPerBlock; ++i) {
        // The prediction is floored (no +32 before the division): the filter-1 recordings rule
        // the +32 of the CD-audio decoder out. Clamping comes after the prediction is added.
        const int32_t rest = older * F1 + base[i] * 64 + open_readings::kPredictionRounding;
        int32_t s = shiftRightArithmetic(old * F0 + rest, 6);
        // Rarely out of range: a branch keeps the clamp off the serial chain of samples.
        if (s != static_cast<int16_t>(s)) s = clampTo16(s);
        out[i] = static_cast<int16_t>(s);
        older = old;
        old = s;
    }
    history.old = old;
    history.older = older;
}

// The values of the 28 nibbles before prediction; they do not depend on each other. Each byte
// holds two samples, low nibble first; a nibble is sign-extended through the top of a byte.
void nibbleValues(const uint8_t* block, int32_t* base) {
    const int shift = block[0] & 0x0F;
    if (shift > 12 && open_readings::kLargeShiftKeepsSignOnly) {
        for (int i = 0; i < kSamplesPerBlock; ++i) {
            const uint8_t byte = block[2 + i / 2];
            const int32_t nibble = ((i & 1) == 0 ? byte & 0x0F : byte >> 4) >= 8 ? -8 : 0;
            base[i] = adpcmNibbleValue(nibble, shift);
        }
        return;
    }
    for (int j = 0; j < kSamplesPerBlock / 2; ++j) {
        const uint8_t byte = block[2 + j];
        const int32_t low = static_cast<int8_t>(static_cast<uint8_t>(byte << 4)) >> 4;
        const int32_t high = static_cast<int8_t>(byte) >> 4;
        base[2 * j] = (low * 4096) >> shift;
        base[2 * j + 1] = (high * 4096) >> shift;
    }
}

FilterWeights weightsOf(uint8_t header) {
    const int filter = (header >> 4) & 0x0F;
    return filter < 5 ? kFilters[filter] : kFilters[0];
}

}  // namespace

#if defined(__SSE2__)
namespace {

// The 28 nibble values of a block as 16-bit numbers into row[0..27] (row[28..31] padding):
// each nibble moved to the top of a 16-bit word (t << 12) and shifted right arithmetically,
// as adpcmNibbleValue does one at a time.
void nibbleRow(const uint8_t* block, int16_t* row) {
    const int shift = block[0] & 0x0F;
    const __m128i zero = _mm_setzero_si128();
    const __m128i top = _mm_set1_epi16(static_cast<int16_t>(0xF000));
    const __m128i data = _mm_srli_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(block)), 2);
    const __m128i a = _mm_unpacklo_epi8(zero, data);  // data bytes 0-7, each shifted left by 8
    const __m128i b = _mm_unpackhi_epi8(zero, data);  // data bytes 8-13 and two zeros
    const __m128i lowA = _mm_and_si128(_mm_slli_epi16(a, 4), top);
    const __m128i lowB = _mm_and_si128(_mm_slli_epi16(b, 4), top);
    const __m128i highA = _mm_and_si128(a, top);
    const __m128i highB = _mm_and_si128(b, top);
    const __m128i nibbles[4] = {_mm_unpacklo_epi16(lowA, highA), _mm_unpackhi_epi16(lowA, highA),
                                _mm_unpacklo_epi16(lowB, highB), _mm_unpackhi_epi16(lowB, highB)};
    const bool signOnly = shift > 12 && open_readings::kLargeShiftKeepsSignOnly;
    const __m128i count = _mm_cvtsi32_si128(shift);
    for (int k = 0; k < 4; ++k) {
        const __m128i v = signOnly ? _mm_slli_epi16(_mm_srai_epi16(nibbles[k], 15), 7)
                                   : _mm_sra_epi16(nibbles[k], count);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(row + 8 * k), v);
    }
}

// Sign-extends the four 16-bit numbers of the low (or high) half of v to 32 bits, times 64.
__m128i scaledLow(__m128i v) {
    return _mm_slli_epi32(_mm_srai_epi32(_mm_unpacklo_epi16(v, v), 16), 6);
}
__m128i scaledHigh(__m128i v) {
    return _mm_slli_epi32(_mm_srai_epi32(_mm_unpackhi_epi16(v, v), 16), 6);
}

}  // namespace
#endif

void decodeAdpcmBlocks(const uint8_t* const* blocks, AdpcmHistory* histories, int16_t* const* outs,
                       int count) {
#if defined(__SSE2__)
    // Two sets of four blocks, each set's chains in the four 32-bit lanes of one register: per
    // sample a multiply-add of (old, older) with (f0, f1), the nibble value (times 64) added,
    // the floor shift, and a saturating pack, which is the clamp to 16 bits. The two sets are
    // independent, so their chains overlap. Unused lanes decode silence.
    static_assert(kAdpcmLanes == 8, "two SSE2 registers of four lanes");
    constexpr int kSets = 2;
    alignas(16) int16_t rows[kAdpcmLanes][32] = {};
    alignas(16) int16_t weights[kSets][8] = {};
    alignas(16) int16_t start[kSets][2][8] = {};
    for (int lane = 0; lane < count; ++lane) {
        nibbleRow(blocks[lane], rows[lane]);
        const FilterWeights w = weightsOf(blocks[lane][0]);
        const int set = lane / 4;
        const int inSet = lane % 4;
        weights[set][2 * inSet] = static_cast<int16_t>(w.f0);
        weights[set][2 * inSet + 1] = static_cast<int16_t>(w.f1);
        start[set][0][inSet] = static_cast<int16_t>(histories[lane].old);
        start[set][1][inSet] = static_cast<int16_t>(histories[lane].older);
    }
    const auto load = [](const int16_t* at) {
        return _mm_load_si128(reinterpret_cast<const __m128i*>(at));
    };
    const auto row = [](const int16_t* at) {
        return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(at));
    };
    const __m128i w[kSets] = {load(weights[0]), load(weights[1])};
    __m128i old[kSets] = {load(start[0][0]), load(start[1][0])};
    __m128i older[kSets] = {load(start[0][1]), load(start[1][1])};
    alignas(16) int16_t out[kSets][kSamplesPerBlock][4];
    for (int i = 0; i < kSamplesPerBlock; i += 4) {
        __m128i base[kSets][4];
        for (int set = 0; set < kSets; ++set) {
            // Samples i..i+3 of the set's four lanes, turned from rows into one register each.
            const int16_t(*r)[32] = rows + 4 * set;
            const __m128i a = _mm_unpacklo_epi16(row(r[0] + i), row(r[1] + i));
            const __m128i b = _mm_unpacklo_epi16(row(r[2] + i), row(r[3] + i));
            const __m128i samples01 = _mm_unpacklo_epi32(a, b);
            const __m128i samples23 = _mm_unpackhi_epi32(a, b);
            base[set][0] = scaledLow(samples01);
            base[set][1] = scaledHigh(samples01);
            base[set][2] = scaledLow(samples23);
            base[set][3] = scaledHigh(samples23);
        }
        for (int k = 0; k < 4; ++k) {
            for (int set = 0; set < kSets; ++set) {
                const __m128i pairs = _mm_unpacklo_epi16(old[set], older[set]);
                __m128i sum = _mm_add_epi32(_mm_madd_epi16(pairs, w[set]), base[set][k]);
                if (open_readings::kPredictionRounding != 0) {
                    sum = _mm_add_epi32(sum, _mm_set1_epi32(open_readings::kPredictionRounding));
                }
                const __m128i next = _mm_packs_epi32(_mm_srai_epi32(sum, 6), sum);
                _mm_storel_epi64(reinterpret_cast<__m128i*>(out[set][i + k]), next);
                older[set] = old[set];
                old[set] = next;
            }
        }
    }
    // Back to one row of 28 samples a block: 4 x 4 transposes of four samples of each lane.
    for (int set = 0; set < kSets && 4 * set < count; ++set) {
        for (int i = 0; i < kSamplesPerBlock; i += 4) {
            const __m128i a = _mm_unpacklo_epi16(row(out[set][i]), row(out[set][i + 1]));
            const __m128i b = _mm_unpacklo_epi16(row(out[set][i + 2]), row(out[set][i + 3]));
            const __m128i lanes01 = _mm_unpacklo_epi32(a, b);
            const __m128i lanes23 = _mm_unpackhi_epi32(a, b);
            const __m128i lanes[4] = {lanes01, _mm_srli_si128(lanes01, 8), lanes23,
                                      _mm_srli_si128(lanes23, 8)};
            for (int inSet = 0; inSet < 4 && 4 * set + inSet < count; ++inSet) {
                _mm_storel_epi64(reinterpret_cast<__m128i*>(outs[4 * set + inSet] + i), lanes[inSet]);
            }
        }
    }
    for (int lane = 0; lane < count; ++lane) {
        histories[lane].old = out[lane / 4][kSamplesPerBlock - 1][lane % 4];
        histories[lane].older = out[lane / 4][kSamplesPerBlock - 2][lane % 4];
    }
#else
    for (int lane = 0; lane < count; ++lane) decodeAdpcmBlock(blocks[lane], histories[lane], outs[lane]);
#endif
}

void decodeAdpcmBlock(const uint8_t* block, AdpcmHistory& history, int16_t* out) {
    const int filter = (block[0] >> 4) & 0x0F;
    // The nibbles first (independent of each other), then the prediction, which is serial.
    int32_t base[kSamplesPerBlock];
    nibbleValues(block, base);
    // Filters 5-15 predict nothing: the invalid-filter recording matches filter 0 exactly,
    // where "clamp to 4" and "filter & 3" do not.
    switch (filter) {
        case 1: predict<kFilters[1].f0, kFilters[1].f1>(base, history, out); return;
        case 2: predict<kFilters[2].f0, kFilters[2].f1>(base, history, out); return;
        case 3: predict<kFilters[3].f0, kFilters[3].f1>(base, history, out); return;
        case 4: predict<kFilters[4].f0, kFilters[4].f1>(base, history, out); return;
        default: break;
    }
    // No prediction: every value already fits 16 bits (-8 << 12 at the most).
    for (int i = 0; i < kSamplesPerBlock; ++i) out[i] = static_cast<int16_t>(base[i]);
    history.old = base[kSamplesPerBlock - 1];
    history.older = base[kSamplesPerBlock - 2];
}
