#pragma once
#include <cstdint>

// The 512 weights of the chip's four-tap interpolation (gauss_table.cpp).
extern const int16_t kGaussTable[512];
