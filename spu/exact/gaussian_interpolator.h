#pragma once
// The chip's four-tap interpolation over the four newest decoded samples. Each product is
// floored on its own and the four are summed: the pitch recordings (0800h-3000h) match this
// within 1 LSB, and the reversed tap order is ruled out. The weights add up to 7F80h, so the
// sum stays inside 16 bits without a clamp.
#include <cstdint>

#include "gauss_table.h"

// `newest` points at the newest of four consecutive samples (newest[-3] the oldest); `index` is
// bits 4-11 of the pitch counter.
inline int32_t gaussianInterpolate(const int16_t* newest, uint32_t index) {
    const int16_t* g = kGaussTable;
    return ((g[0x0FF - index] * newest[-3]) >> 15) + ((g[0x1FF - index] * newest[-2]) >> 15) +
           ((g[0x100 + index] * newest[-1]) >> 15) + ((g[index] * newest[0]) >> 15);
}
