// The ADPCM lanes on AVX2, 8 lanes to a register. The predictor steps are the same as in
// adpcm_lanes.cpp; what differs is how the lanes get in and out. Moving every data byte and
// every sample between lane-major scratch and the lanes one at a time cost as much as the
// decoding itself, so here a block's 16 bytes are read as 4 words and transposed with
// shuffles, each sample's nibble is shifted out of its word in place, and the samples go out
// through 8 x 8 transposes, one row of 8 samples per lane at a time.
#include "adpcm_lanes.h"
#include "cpu_features.h"
#include "voice.h"

#if SPU_HAVE_AVX2_PATH
#include <immintrin.h>

namespace adpcm {
namespace {

constexpr int32_t kGroupLanes = 8;
constexpr int kBlockWords = 4;       // a block read as 4 little-endian 32-bit words
constexpr int kDataByte = 2;         // 14 data bytes after header and flags
constexpr int kNibbleShift = 16;     // from the top 4 bits of 32 to the top 4 bits of 16
constexpr int kPredictorShift = 6;   // filter weights are in 1/64
constexpr int32_t kShiftMask = 0xF;  // header bits 0..3
constexpr int kFilterShift = 4;      // header bits 4..7

struct GroupInput {
    __m256i words[kBlockWords];  // word k of each lane's block, lane by lane
    __m256i history1;
    __m256i history2;
};

// Lanes a and a + 4 of the group in one register: their blocks' words 0..3 in each half.
SPU_TARGET_AVX2 inline __m256i blockPair(const Lane* lanes, int32_t count, int32_t a) {
    static const uint8_t kSilence[kBlockBytes] = {};  // the unused lanes of a last group
    const uint8_t* low = a < count ? lanes[a].block : kSilence;
    const uint8_t* high = a + 4 < count ? lanes[a + 4].block : kSilence;
    return _mm256_inserti128_si256(
        _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(low))),
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(high)), 1);
}

SPU_TARGET_AVX2 GroupInput readGroup(const Lane* lanes, int32_t count) {
    // 4 x 4 transposes inside each half: lanes 0..3 low, 4..7 high.
    const __m256i r0 = blockPair(lanes, count, 0);
    const __m256i r1 = blockPair(lanes, count, 1);
    const __m256i r2 = blockPair(lanes, count, 2);
    const __m256i r3 = blockPair(lanes, count, 3);
    const __m256i t0 = _mm256_unpacklo_epi32(r0, r1);
    const __m256i t1 = _mm256_unpacklo_epi32(r2, r3);
    const __m256i t2 = _mm256_unpackhi_epi32(r0, r1);
    const __m256i t3 = _mm256_unpackhi_epi32(r2, r3);
    // Built in registers: eight 32-bit stores read back as one 256-bit load would stall the
    // store forwarding.
    const auto history = [lanes, count](int32_t l, bool second) {
        return l < count ? (second ? lanes[l].history2 : lanes[l].history1) : 0;
    };
    return GroupInput{
        {_mm256_unpacklo_epi64(t0, t1), _mm256_unpackhi_epi64(t0, t1),
         _mm256_unpacklo_epi64(t2, t3), _mm256_unpackhi_epi64(t2, t3)},
        _mm256_setr_epi32(history(0, false), history(1, false), history(2, false),
                          history(3, false), history(4, false), history(5, false),
                          history(6, false), history(7, false)),
        _mm256_setr_epi32(history(0, true), history(1, true), history(2, true), history(3, true),
                          history(4, true), history(5, true), history(6, true), history(7, true))};
}

// The filter weights of each lane: filters 5..15 decode as filter 0, like the plain path.
SPU_TARGET_AVX2 inline void laneFilters(__m256i header, __m256i& f0, __m256i& f1) {
    __m256i filter =
        _mm256_and_si256(_mm256_srli_epi32(header, kFilterShift), _mm256_set1_epi32(kShiftMask));
    const __m256i unknown = _mm256_cmpgt_epi32(filter, _mm256_set1_epi32(kAdpcmFilterCount - 1));
    filter = _mm256_andnot_si256(unknown, filter);
    static_assert(kAdpcmFilterCount == 5, "one lane per filter");
    const AdpcmFilter* table = AdpcmFilterTable;
    f0 = _mm256_permutevar8x32_epi32(
        _mm256_setr_epi32(table[0].f0, table[1].f0, table[2].f0, table[3].f0, table[4].f0, 0, 0, 0),
        filter);
    f1 = _mm256_permutevar8x32_epi32(
        _mm256_setr_epi32(table[0].f1, table[1].f1, table[2].f1, table[3].f1, table[4].f1, 0, 0, 0),
        filter);
}

// Sample i's nibble in the top 4 bits of 32: data byte i / 2 (low nibble first) sits at byte
// 2 + i / 2 of the block, in word (2 + i / 2) / 4.
SPU_TARGET_AVX2 inline __m256i nibbleOnTop(const GroupInput& in, int i) {
    const int byte = kDataByte + i / 2;
    const int bitInWord = 8 * (byte % 4) + ((i & 1) == 0 ? 0 : 4);
    const __m256i word = in.words[byte / 4];
    return _mm256_and_si256(_mm256_sll_epi32(word, _mm_cvtsi32_si128(28 - bitInWord)),
                            _mm256_set1_epi32(static_cast<int32_t>(0xF0000000u)));
}

// Up to three groups side by side: their chains of 28 steps are independent, so the
// processor overlaps them; each keeps its history in registers.
template <int Groups>
SPU_TARGET_AVX2 void predictGroups(GroupInput* in, int32_t (*out)[kMaxLanes]) {
    __m256i shift[Groups], f0[Groups], f1[Groups], h1[Groups], h2[Groups];
#pragma GCC unroll 3
    for (int g = 0; g < Groups; ++g) {
        const __m256i header = in[g].words[0];
        shift[g] = _mm256_add_epi32(_mm256_and_si256(header, _mm256_set1_epi32(kShiftMask)),
                                    _mm256_set1_epi32(kNibbleShift));
        laneFilters(header, f0[g], f1[g]);
        h1[g] = in[g].history1;
        h2[g] = in[g].history2;
    }
    // Unrolled, so that every vector above stays in a register.
#pragma GCC unroll 28
    for (int i = 0; i < kSamplesPerBlock; ++i) {
#pragma GCC unroll 3
        for (int g = 0; g < Groups; ++g) {
            const __m256i prediction = _mm256_add_epi32(_mm256_mullo_epi32(h1[g], f0[g]),
                                                        _mm256_mullo_epi32(h2[g], f1[g]));
            const __m256i sample =
                _mm256_add_epi32(_mm256_srav_epi32(nibbleOnTop(in[g], i), shift[g]),
                                 _mm256_srai_epi32(prediction, kPredictorShift));
            h2[g] = h1[g];
            h1[g] = sample;
            _mm256_store_si256(reinterpret_cast<__m256i*>(out[i] + g * kGroupLanes), sample);
        }
    }
#pragma GCC unroll 3
    for (int g = 0; g < Groups; ++g) {
        in[g].history1 = h1[g];
        in[g].history2 = h2[g];
    }
}

// Rows first..first + 7 of one group's samples (row = sample, column = lane) transposed, so
// that each lane gets 8 consecutive samples in one store.
SPU_TARGET_AVX2 void writeEightSamples(const int32_t (*out)[kMaxLanes], int first, int32_t base,
                                       Lane* lanes, int32_t count) {
    // Unrolled, so that the 8 rows stay in registers through the shuffles.
    __m256i r[8];
#pragma GCC unroll 8
    for (int k = 0; k < 8; ++k) {
        r[k] = _mm256_load_si256(reinterpret_cast<const __m256i*>(out[first + k] + base));
    }
    __m256i t[8];
#pragma GCC unroll 8
    for (int k = 0; k < 8; k += 2) {
        t[k] = _mm256_unpacklo_epi32(r[k], r[k + 1]);
        t[k + 1] = _mm256_unpackhi_epi32(r[k], r[k + 1]);
    }
    __m256i u[8];
#pragma GCC unroll 8
    for (int k = 0; k < 8; k += 4) {
        u[k] = _mm256_unpacklo_epi64(t[k], t[k + 2]);
        u[k + 1] = _mm256_unpackhi_epi64(t[k], t[k + 2]);
        u[k + 2] = _mm256_unpacklo_epi64(t[k + 1], t[k + 3]);
        u[k + 3] = _mm256_unpackhi_epi64(t[k + 1], t[k + 3]);
    }
    // u[k] holds lane k (low half, samples first..+3) and lane k + 4 (high half) for rows
    // 0..3, u[4 + k] the same for rows 4..7.
#pragma GCC unroll 4
    for (int k = 0; k < 4; ++k) {
        const __m256i lowLane = _mm256_permute2x128_si256(u[k], u[4 + k], 0x20);
        const __m256i highLane = _mm256_permute2x128_si256(u[k], u[4 + k], 0x31);
        if (base + k < count) {
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(lanes[base + k].samples + first),
                                lowLane);
        }
        if (base + k + 4 < count) {
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(lanes[base + k + 4].samples + first),
                                highLane);
        }
    }
}

SPU_TARGET_AVX2 void writeGroup(const int32_t (*out)[kMaxLanes], const GroupInput& in, int32_t base,
                                Lane* lanes, int32_t count) {
    // 28 samples: three rows of 8 and the last 4 one by one.
#pragma GCC unroll 3
    for (int first = 0; first + 8 <= kSamplesPerBlock; first += 8) {
        writeEightSamples(out, first, base, lanes, count);
    }
    alignas(32) int32_t h1[kGroupLanes];
    alignas(32) int32_t h2[kGroupLanes];
    _mm256_store_si256(reinterpret_cast<__m256i*>(h1), in.history1);
    _mm256_store_si256(reinterpret_cast<__m256i*>(h2), in.history2);
    for (int32_t l = base; l < count && l < base + kGroupLanes; ++l) {
        for (int i = 24; i < kSamplesPerBlock; ++i) lanes[l].samples[i] = out[i][l];
        lanes[l].history1 = h1[l - base];
        lanes[l].history2 = h2[l - base];
    }
}

}  // namespace

SPU_TARGET_AVX2 void decodeLanesAvx2(Lane* lanes, int32_t count) {
    alignas(32) int32_t out[kSamplesPerBlock][kMaxLanes];
    GroupInput in[kMaxLanes / kGroupLanes];
    const int32_t groups = (count + kGroupLanes - 1) / kGroupLanes;
    for (int32_t g = 0; g < groups; ++g) {
        in[g] = readGroup(lanes + g * kGroupLanes, count - g * kGroupLanes);
    }
    if (groups == 3) {
        predictGroups<3>(in, out);
    } else if (groups == 2) {
        predictGroups<2>(in, out);
    } else {
        predictGroups<1>(in, out);
    }
    for (int32_t g = 0; g < groups; ++g) writeGroup(out, in[g], g * kGroupLanes, lanes, count);
}

}  // namespace adpcm

#endif
