#pragma once
#include <cstdint>

// The 512 weights of the chip's four-tap interpolation (gauss_table.cpp, as read out of a
// console) by interpolation index i, in tap order oldest to newest:
// g[0FFh - i], g[1FFh - i], g[100h + i], g[i]. One index is one 8-byte load.
struct GaussQuads {
    int16_t w[256][4];
};
extern const GaussQuads kGaussQuads;
