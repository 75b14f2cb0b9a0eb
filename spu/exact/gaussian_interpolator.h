#pragma once
// The chip's four-tap interpolation over the four newest decoded samples. Each product is
// floored on its own and the four are summed: the pitch recordings (0800h-3000h) match this
// within 1 LSB, and the reversed tap order is ruled out. The weights add up to 7F80h, so the
// sum stays inside 16 bits without a clamp.
#include <cstdint>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "gauss_table.h"

// `newest` points at the newest of four consecutive samples (newest[-3] the oldest); `index` is
// bits 4-11 of the pitch counter.
inline int32_t gaussianInterpolate(const int16_t* newest, uint32_t index) {
    const int16_t* g = kGaussQuads.w[index];
#if defined(__SSE2__)
    // The four products exactly in 32 bits (low and high halves of 16 x 16), each floored by
    // the arithmetic shift, then summed across: the same arithmetic as the scalar line below.
    const __m128i samples = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(newest - 3));
    const __m128i weights = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(g));
    const __m128i products = _mm_unpacklo_epi16(_mm_mullo_epi16(samples, weights),
                                                _mm_mulhi_epi16(samples, weights));
    __m128i sum = _mm_srai_epi32(products, 15);
    sum = _mm_add_epi32(sum, _mm_shuffle_epi32(sum, _MM_SHUFFLE(1, 0, 3, 2)));
    sum = _mm_add_epi32(sum, _mm_shuffle_epi32(sum, _MM_SHUFFLE(2, 3, 0, 1)));
    return _mm_cvtsi128_si32(sum);
#else
    return ((g[0] * newest[-3]) >> 15) + ((g[1] * newest[-2]) >> 15) +
           ((g[2] * newest[-1]) >> 15) + ((g[3] * newest[0]) >> 15);
#endif
}
