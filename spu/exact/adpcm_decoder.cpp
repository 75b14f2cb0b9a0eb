#include "adpcm_decoder.h"

#include "fixed_point.h"
#include "open_readings.h"

namespace {

// Filter weights in 64ths. Filters 5-15 predict nothing: the invalid-filter recording matches
// filter 0 exactly, where "clamp to 4" and "filter & 3" do not.
struct FilterWeights {
    int32_t f0;
    int32_t f1;
};
constexpr FilterWeights kFilters[16] = {{0, 0},    {60, 0}, {115, -52}, {98, -55}, {122, -60},
                                        {0, 0},    {0, 0},  {0, 0},     {0, 0},    {0, 0},
                                        {0, 0},    {0, 0},  {0, 0},     {0, 0},    {0, 0},
                                        {0, 0}};

int32_t clampTo16(int32_t v) {
    if (v > 0x7FFF) return 0x7FFF;
    if (v < -0x8000) return -0x8000;
    return v;
}

}  // namespace

int32_t adpcmNibbleValue(int32_t nibble, int shift) {
    // The nibble sits in the top of a 16-bit word: t << 12, then shifted right by `shift`.
    if (shift > 12 && open_readings::kLargeShiftKeepsSignOnly) {
        // Shifts 13-15 of sound RAM samples keep only the sign: -8 gives -128, the rest 0 (the
        // shift 12-15 recording; "same as 9" would give -64 and +56 and is ruled out).
        return (nibble >> 3) * 128;
    }
    return shiftRightArithmetic(nibble * 4096, shift);
}

void decodeAdpcmBlock(const uint8_t* block, AdpcmHistory& history, int16_t* out) {
    const int shift = block[0] & 0x0F;
    const FilterWeights w = kFilters[(block[0] >> 4) & 0x0F];
    int32_t old = history.old;
    int32_t older = history.older;
    for (int i = 0; i < kSamplesPerBlock; ++i) {
        const uint8_t byte = block[2 + i / 2];
        const int32_t raw = (i & 1) == 0 ? (byte & 0x0F) : (byte >> 4);
        const int32_t nibble = raw >= 8 ? raw - 16 : raw;
        // The prediction is floored (no +32 before the division): the filter-1 recordings rule
        // the +32 of the CD-audio decoder out. Clamping comes after the prediction is added.
        const int32_t prediction = shiftRightArithmetic(
            old * w.f0 + older * w.f1 + open_readings::kPredictionRounding, 6);
        const int32_t s = clampTo16(adpcmNibbleValue(nibble, shift) + prediction);
        out[i] = static_cast<int16_t>(s);
        older = old;
        old = s;
    }
    history.old = old;
    history.older = older;
}
