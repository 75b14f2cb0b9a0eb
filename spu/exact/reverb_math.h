#pragma once
// The arithmetic of the reverb datapath: the 16-bit saturation every stage ends in, the product
// "divided by 8000h" and the IIR blend. The rounding of the products is not pinned down by any
// console measurement (the best known model is still about 24 LSB off on a wet channel), so the
// readings taken live here alone, reverbProduct() for every product of the datapath and
// floorShift() for the resampling filter's sums: a later finding is a one-line change.
#include <cstdint>

namespace reverb {

constexpr int32_t kSampleMax = 32767;
constexpr int32_t kSampleMin = -32768;

inline int32_t saturate16(int32_t v) {
    if (v > kSampleMax) return kSampleMax;
    if (v < kSampleMin) return kSampleMin;
    return v;
}

inline int32_t saturate16(int64_t v) {
    if (v > kSampleMax) return kSampleMax;
    if (v < kSampleMin) return kSampleMin;
    return static_cast<int32_t>(v);
}

// a * b / 8000h for a 16-bit sample and a 16-bit signed volume. READING TAKEN: each product is
// floored on its own (arithmetic shift right by 15) before it is added to anything, as a
// 16x16 multiplier that hands on only its high half would do. Truncation towards zero and
// rounding to nearest were the other candidates; nothing measured tells them apart yet.
// 16-bit operands keep the product inside 32 bits (at most 8000h * 8000h = 2^30).
inline int32_t reverbProduct(int32_t sample, int32_t volume) { return (sample * volume) >> 15; }

// READING TAKEN for the resampling filter: its sum of products is exact and floored once.
inline int32_t floorShift(int32_t sum, int shift) { return sum >> shift; }

// One IIR stage: [m] = (x - old) * vIIR + old, x already saturated.
//
// READING TAKEN for vIIR = -8000h, which a console (SCPH-1001) showed to negate the written
// result rather than act as an ordinary x(-1) (vLIN/vRIN = -8000h is an ordinary x(-1)): the
// chip forms the blend as x * vIIR + old * (8000h - vIIR) with the old sample's weight held in
// 16 bits. For every other vIIR that weight fits (at most FFFFh) and the blend equals the
// formula exactly, because old * 8000h is a multiple of 8000h and survives the floor. For
// vIIR = -8000h the weight is 10000h, which wraps to 0: the stage writes -x, the input
// negated, whatever the old sample held. The 64-bit sum holds x * vIIR + old * FFFFh.
inline int32_t iirBlend(int32_t x, int32_t old, int32_t vIir) {
    const int32_t oldWeight = (0x8000 - vIir) & 0xFFFF;
    const int64_t sum = static_cast<int64_t>(x) * vIir + static_cast<int64_t>(old) * oldWeight;
    return saturate16(sum >> 15);
}

}  // namespace reverb
