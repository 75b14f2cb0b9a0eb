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

// The values of the 28 nibbles before prediction, times `scale`, to base[i * stride]; they do
// not depend on each other. Each byte holds two samples, low nibble first; a nibble is
// sign-extended through the top of a byte.
void nibbleValues(const uint8_t* block, int32_t* base, int stride = 1, int32_t scale = 1) {
    const int shift = block[0] & 0x0F;
    if (shift > 12 && open_readings::kLargeShiftKeepsSignOnly) {
        for (int i = 0; i < kSamplesPerBlock; ++i) {
            const uint8_t byte = block[2 + i / 2];
            const int32_t nibble = ((i & 1) == 0 ? byte & 0x0F : byte >> 4) >= 8 ? -8 : 0;
            base[i * stride] = adpcmNibbleValue(nibble, shift) * scale;
        }
        return;
    }
    for (int j = 0; j < kSamplesPerBlock / 2; ++j) {
        const uint8_t byte = block[2 + j];
        const int32_t low = static_cast<int8_t>(static_cast<uint8_t>(byte << 4)) >> 4;
        const int32_t high = static_cast<int8_t>(byte) >> 4;
        base[2 * j * stride] = ((low * 4096) >> shift) * scale;
        base[(2 * j + 1) * stride] = ((high * 4096) >> shift) * scale;
    }
}

FilterWeights weightsOf(uint8_t header) {
    const int filter = (header >> 4) & 0x0F;
    return filter < 5 ? kFilters[filter] : kFilters[0];
}

}  // namespace

void decodeAdpcmBlocks(const uint8_t* const* blocks, AdpcmHistory* histories, int16_t* const* outs,
                       int count) {
#if defined(__SSE2__)
    // The four blocks' chains in the four 32-bit lanes of one register: per sample a multiply-add
    // of (old, older) with (f0, f1), the nibble value (times 64) added, the floor shift, and a
    // saturating pack, which is the clamp to 16 bits. Unused lanes decode silence.
    static_assert(kAdpcmLanes == 4, "one SSE2 register holds the four lanes");
    alignas(16) int32_t base[kSamplesPerBlock][kAdpcmLanes] = {};
    alignas(16) int16_t weights[2 * kAdpcmLanes] = {};
    alignas(16) int16_t start[2][8] = {};
    for (int lane = 0; lane < count; ++lane) {
        nibbleValues(blocks[lane], &base[0][lane], kAdpcmLanes, 64);
        const FilterWeights w = weightsOf(blocks[lane][0]);
        weights[2 * lane] = static_cast<int16_t>(w.f0);
        weights[2 * lane + 1] = static_cast<int16_t>(w.f1);
        start[0][lane] = static_cast<int16_t>(histories[lane].old);
        start[1][lane] = static_cast<int16_t>(histories[lane].older);
    }
    const __m128i w = _mm_load_si128(reinterpret_cast<const __m128i*>(weights));
    __m128i old = _mm_load_si128(reinterpret_cast<const __m128i*>(start[0]));
    __m128i older = _mm_load_si128(reinterpret_cast<const __m128i*>(start[1]));
    alignas(16) int16_t out[kSamplesPerBlock][kAdpcmLanes];
    for (int i = 0; i < kSamplesPerBlock; ++i) {
        const __m128i pairs = _mm_unpacklo_epi16(old, older);  // old0, older0, old1, older1, ...
        __m128i sum = _mm_madd_epi16(pairs, w);
        sum = _mm_add_epi32(sum, _mm_load_si128(reinterpret_cast<const __m128i*>(base[i])));
        if (open_readings::kPredictionRounding != 0) {
            sum = _mm_add_epi32(sum, _mm_set1_epi32(open_readings::kPredictionRounding));
        }
        const __m128i next = _mm_packs_epi32(_mm_srai_epi32(sum, 6), sum);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out[i]), next);
        older = old;
        old = next;
    }
    // Back to one row of 28 samples a block: 4 x 4 transposes of four samples of each lane.
    for (int i = 0; i < kSamplesPerBlock; i += 4) {
        const auto row = [&](int r) { return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(out[i + r])); };
        const __m128i a = _mm_unpacklo_epi16(row(0), row(1));
        const __m128i b = _mm_unpacklo_epi16(row(2), row(3));
        const __m128i lanes01 = _mm_unpacklo_epi32(a, b);
        const __m128i lanes23 = _mm_unpackhi_epi32(a, b);
        const __m128i lanes[4] = {lanes01, _mm_srli_si128(lanes01, 8), lanes23,
                                  _mm_srli_si128(lanes23, 8)};
        for (int lane = 0; lane < count; ++lane) {
            _mm_storel_epi64(reinterpret_cast<__m128i*>(outs[lane] + i), lanes[lane]);
        }
    }
    for (int lane = 0; lane < count; ++lane) {
        histories[lane].old = out[kSamplesPerBlock - 1][lane];
        histories[lane].older = out[kSamplesPerBlock - 2][lane];
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
