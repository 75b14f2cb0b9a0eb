#include "adpcm_lanes.h"

#include <cstring>

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#include <immintrin.h>
#endif

#include "cpu_features.h"
#include "fixed_point.h"
#include "voice.h"

namespace adpcm {
namespace {

// Block header (byte 0).
constexpr int kShiftLo = 0;
constexpr int kShiftHi = 3;
constexpr int kFilterLo = 4;
constexpr int kFilterHi = 7;
constexpr int kHeaderByte = 0;
constexpr int kDataByte = 2;  // 14 bytes, two samples each, low nibble first

constexpr int kDataBytes = 14;
constexpr int32_t kVectorGroup = 8;  // lanes per vector step: one AVX2 register, two SSE2 ones
static_assert(kMaxLanes % kVectorGroup == 0, "whole groups fit the scratch");
constexpr int kNibbleShift = 16;    // from the top 4 bits of 32 to the top 4 bits of 16
constexpr int kPredictorShift = 6;  // filter weights are in 1/64

// Sample i of a block from its data byte: low nibble first. A nibble in the top 4 bits of 32,
// shifted down arithmetically by 16 + shift, is the signed nibble * 4096 >> shift.
inline int32_t rawSample(uint32_t byte, int i, int32_t shift) {
    const uint32_t nibbleMask = (i & 1) == 0 ? 0x0Fu : 0xF0u;
    const int toTop = (i & 1) == 0 ? 28 : 24;
    return shiftRightArithmetic(static_cast<int32_t>((byte & nibbleMask) << toTop),
                                kNibbleShift + shift);
}

// No rounding and no clamp: the hardware keeps the full predictor result, and so does the
// history that the next block is predicted from.
inline int32_t predictedSample(int32_t raw, int32_t h1, int32_t h2, int32_t f0, int32_t f1) {
    const int32_t prediction = wrappingAdd32(wrappingMul32(h1, f0), wrappingMul32(h2, f1));
    return wrappingAdd32(raw, shiftRightArithmetic(prediction, kPredictorShift));
}

inline int32_t filterNumber(const uint8_t* block) {
    const int32_t filter = extractBits(block[kHeaderByte], kFilterLo, kFilterHi);
    // Headers can name filters 5..15, which the chip has no coefficients for; such blocks
    // decode as filter 0 (raw samples, no prediction) rather than reading past the table.
    return filter < kAdpcmFilterCount ? filter : 0;
}

// Lane-major scratch: byte j (sample i) of every lane side by side, so that each predictor
// step is one vector operation across the lanes. Lanes go in groups of kVectorGroup; the
// unused lanes of the last group decode silence.
struct LaneScratch {
    uint32_t data[kDataBytes][kMaxLanes];
    int32_t out[kSamplesPerBlock][kMaxLanes];
    int32_t shift[kMaxLanes];
    int32_t f0[kMaxLanes];
    int32_t f1[kMaxLanes];
    int32_t h1[kMaxLanes];
    int32_t h2[kMaxLanes];
};

// Fills the scratch from the lanes; returns the lane count rounded up to whole groups.
SPU_KERNEL int32_t gatherLanes(const Lane* lanes, int32_t count, LaneScratch& s) {
    const int32_t padded = (count + kVectorGroup - 1) / kVectorGroup * kVectorGroup;
    for (int32_t l = 0; l < padded; ++l) {
        uint8_t none[kBlockBytes] = {};
        const uint8_t* block = l < count ? lanes[l].block : none;
        s.shift[l] = extractBits(block[kHeaderByte], kShiftLo, kShiftHi);
        s.f0[l] = AdpcmFilterTable[filterNumber(block)].f0;
        s.f1[l] = AdpcmFilterTable[filterNumber(block)].f1;
        s.h1[l] = l < count ? lanes[l].history1 : 0;
        s.h2[l] = l < count ? lanes[l].history2 : 0;
        for (int j = 0; j < kDataBytes; ++j) s.data[j][l] = block[kDataByte + j];
    }
    return padded;
}

SPU_KERNEL void scatterLanes(Lane* lanes, int32_t count, const LaneScratch& s) {
    for (int32_t l = 0; l < count; ++l) {
        int32_t* samples = lanes[l].samples;
        for (int i = 0; i < kSamplesPerBlock; ++i) samples[i] = s.out[i][l];
        lanes[l].history1 = s.h1[l];
        lanes[l].history2 = s.h2[l];
    }
}

SPU_KERNEL void predictLanes(LaneScratch& s, int32_t padded) {
    for (int i = 0; i < kSamplesPerBlock; ++i) {
        for (int32_t base = 0; base < padded; base += kVectorGroup) {
            for (int32_t l = base; l < base + kVectorGroup; ++l) {
                const int32_t sample = predictedSample(rawSample(s.data[i / 2][l], i, s.shift[l]),
                                                       s.h1[l], s.h2[l], s.f0[l], s.f1[l]);
                s.h2[l] = s.h1[l];
                s.h1[l] = sample;
                s.out[i][l] = sample;
            }
        }
    }
}

// A single block (a decode on the spot): the same steps, straight into its samples.
void decodeOneLane(Lane* lane) {
    const uint8_t* block = lane->block;
    const int32_t shift = extractBits(block[kHeaderByte], kShiftLo, kShiftHi);
    const AdpcmFilter filter = AdpcmFilterTable[filterNumber(block)];
    int32_t h1 = lane->history1;
    int32_t h2 = lane->history2;
    for (int i = 0; i < kSamplesPerBlock; ++i) {
        const int32_t sample = predictedSample(rawSample(block[kDataByte + i / 2], i, shift), h1,
                                               h2, filter.f0, filter.f1);
        h2 = h1;
        h1 = sample;
        lane->samples[i] = sample;
    }
    lane->history1 = h1;
    lane->history2 = h2;
}

void decodeLanesBaseline(Lane* lanes, int32_t count) {
    LaneScratch scratch;
    predictLanes(scratch, gatherLanes(lanes, count, scratch));
    scatterLanes(lanes, count, scratch);
}

#if SPU_HAVE_AVX2_PATH
// One group of 8 lanes through its 28 steps with the predictor history in registers: each
// step waits on the one before it, and a round trip through memory per step (as the
// vectorised loops above make) nearly doubled the chain.
SPU_TARGET_AVX2 inline __m256i loadGroup(const void* row, int32_t base) {
    return _mm256_loadu_si256(
        reinterpret_cast<const __m256i*>(static_cast<const int32_t*>(row) + base));
}

template <int Groups>
SPU_TARGET_AVX2 void predictGroupsAvx2(LaneScratch& s) {
    __m256i shift[Groups], f0[Groups], f1[Groups], h1[Groups], h2[Groups];
    for (int g = 0; g < Groups; ++g) {
        const int32_t base = g * kVectorGroup;
        shift[g] = _mm256_add_epi32(loadGroup(s.shift, base), _mm256_set1_epi32(kNibbleShift));
        f0[g] = loadGroup(s.f0, base);
        f1[g] = loadGroup(s.f1, base);
        h1[g] = loadGroup(s.h1, base);
        h2[g] = loadGroup(s.h2, base);
    }
    const __m256i lowNibble = _mm256_set1_epi32(0x0F);
    const __m256i highNibble = _mm256_set1_epi32(0xF0);
    for (int i = 0; i < kSamplesPerBlock; ++i) {
        for (int g = 0; g < Groups; ++g) {
            const __m256i bytes = loadGroup(s.data[i / 2], g * kVectorGroup);
            // As rawSample: the nibble to the top 4 bits of 32, then down by 16 + shift.
            const __m256i top = (i & 1) == 0
                                    ? _mm256_slli_epi32(_mm256_and_si256(bytes, lowNibble), 28)
                                    : _mm256_slli_epi32(_mm256_and_si256(bytes, highNibble), 24);
            const __m256i prediction = _mm256_add_epi32(_mm256_mullo_epi32(h1[g], f0[g]),
                                                        _mm256_mullo_epi32(h2[g], f1[g]));
            const __m256i sample = _mm256_add_epi32(_mm256_srav_epi32(top, shift[g]),
                                                    _mm256_srai_epi32(prediction, kPredictorShift));
            h2[g] = h1[g];
            h1[g] = sample;
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(s.out[i] + g * kVectorGroup), sample);
        }
    }
    for (int g = 0; g < Groups; ++g) {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(s.h1 + g * kVectorGroup), h1[g]);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(s.h2 + g * kVectorGroup), h2[g]);
    }
}

SPU_TARGET_AVX2 void decodeLanesAvx2(Lane* lanes, int32_t count) {
    LaneScratch scratch;
    const int32_t padded = gatherLanes(lanes, count, scratch);
    // Groups side by side: their chains are independent, so the processor overlaps them.
    if (padded == 3 * kVectorGroup) {
        predictGroupsAvx2<3>(scratch);
    } else if (padded == 2 * kVectorGroup) {
        predictGroupsAvx2<2>(scratch);
    } else {
        predictGroupsAvx2<1>(scratch);
    }
    scatterLanes(lanes, count, scratch);
}
#endif

}  // namespace

void readBlock(const uint8_t* ram, int32_t blockAddress, uint8_t* block) {
    const uint32_t first = static_cast<uint32_t>(blockAddress) * 8u;
    if (ram != nullptr && first + kBlockBytes <= kSoundRamMask + 1) {
        std::memcpy(block, ram + first, kBlockBytes);  // the usual case: no wrap
        return;
    }
    for (int i = 0; i < kBlockBytes; ++i) block[i] = ramByte(ram, blockAddress, i);
}

void decodeLanes(Lane* lanes, int32_t count) {
    if (count > kMaxLanes) count = kMaxLanes;
    if (count == 1) {
        decodeOneLane(lanes);
        return;
    }
#if SPU_HAVE_AVX2_PATH
    if (cpuHasAvx2()) {
        decodeLanesAvx2(lanes, count);
        return;
    }
#endif
    decodeLanesBaseline(lanes, count);
}

}  // namespace adpcm
