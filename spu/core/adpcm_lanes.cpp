#include "adpcm_lanes.h"

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

}  // namespace

void readWrappingBlock(const uint8_t* ram, int32_t blockAddress, uint8_t* block) {
    for (int i = 0; i < kBlockBytes; ++i) block[i] = ramByte(ram, blockAddress, i);
}

void decodeLanes(Lane* lanes, int32_t count) {
    if (count > kMaxLanes) count = kMaxLanes;
    if (count <= 0) return;
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
