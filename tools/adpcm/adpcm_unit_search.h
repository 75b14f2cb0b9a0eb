#pragma once
#include <cstddef>
#include <cstdint>

// The search both ADPCM formats share. The sound chip's blocks and the CD's XA sound units both
// code 28 samples as 4-bit nibbles with one filter and one shift, predicted from the last two
// decoded samples; they differ in the filter table, the shift range, the predictor's rounding
// and whether the decoder clamps. The encoder tries every filter and shift against the
// decoder's exact arithmetic and keeps the pair with the smallest squared error, carrying on
// with the history the decoder will have, so errors never accumulate from unit to unit.

constexpr size_t kAdpcmUnitSamples = 28;

struct AdpcmWeights {
    int32_t f0;  // weighs the last decoded sample, in 1/64
    int32_t f1;  // weighs the one before it
};

struct AdpcmDecoderRules {
    const AdpcmWeights* filters;
    int filterCount;
    int shiftCount;
    int32_t rounding;  // added to the weighted history before the shift by 6
    bool clamps;       // the decoded sample is clamped to 16 bits (and so is the history)
};

struct AdpcmHistory {
    int32_t h1 = 0;  // last decoded sample
    int32_t h2 = 0;
};

struct AdpcmUnit {
    uint8_t filter = 0;
    uint8_t shift = 0;
    uint8_t nibbles[kAdpcmUnitSamples] = {};  // 4-bit two's complement, one per sample
    AdpcmHistory end;                          // the decoder's history after the unit
    int64_t error = 0;
};

// The best unit for 28 target samples after `history`, trying filters 0..filterLimit-1 only
// (filterLimit 1 gives a unit that sounds the same whatever came before it).
AdpcmUnit encodeAdpcmUnit(const int16_t* target, AdpcmHistory history,
                          const AdpcmDecoderRules& rules, int filterLimit);
