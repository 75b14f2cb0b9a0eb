#include "adpcm_decoder.h"

#include "fixed_point.h"
#include "open_readings.h"

namespace {

// Filter weights in 64ths, filters 0-4.
struct FilterWeights {
    int32_t f0;
    int32_t f1;
};
constexpr FilterWeights kFilters[5] = {{0, 0}, {60, 0}, {115, -52}, {98, -55}, {122, -60}};

int32_t clampTo16(int32_t v) {
    if (v > 0x7FFF) return 0x7FFF;
    if (v < -0x8000) return -0x8000;
    return v;
}

}  // namespace

namespace {

// The serial part of a block with the filter's weights as constants, so that the products can
// become shifts and adds. The nibble value is folded into the sum before the shift,
// (p >> 6) + b == (p + (b << 6)) >> 6, which leaves one multiply, one add and one shift on the
// chain from one sample to the next.
template <int32_t F0, int32_t F1>
void predict(const int32_t* base, AdpcmHistory& history, int16_t* out) {
    int32_t old = history.old;
    int32_t older = history.older;
    for (int i = 0; i < kSamplesPerBlock; ++i) {
        // The prediction is floored (no +32 before the division): the filter-1 recordings rule
        // the +32 of the CD-audio decoder out. Clamping comes after the prediction is added.
        const int32_t rest = older * F1 + base[i] * 64 + open_readings::kPredictionRounding;
        int32_t s = shiftRightArithmetic(old * F0 + rest, 6);
        // Rarely out of range: a branch keeps the clamp off the serial chain of samples.
        if (s != static_cast<int16_t>(s)) s = clampTo16(s);
        out[i] = static_cast<int16_t>(s);
        older = old;
        old = s;
    }
    history.old = old;
    history.older = older;
}

}  // namespace

void decodeAdpcmBlock(const uint8_t* block, AdpcmHistory& history, int16_t* out) {
    const int shift = block[0] & 0x0F;
    const int filter = (block[0] >> 4) & 0x0F;
    // The nibbles first (independent of each other), then the prediction, which is serial.
    int32_t base[kSamplesPerBlock];
    for (int i = 0; i < kSamplesPerBlock; ++i) {
        const uint8_t byte = block[2 + i / 2];
        const int32_t raw = (i & 1) == 0 ? (byte & 0x0F) : (byte >> 4);
        base[i] = adpcmNibbleValue(raw >= 8 ? raw - 16 : raw, shift);
    }
    // Filters 5-15 predict nothing: the invalid-filter recording matches filter 0 exactly,
    // where "clamp to 4" and "filter & 3" do not.
    switch (filter) {
        case 1: predict<kFilters[1].f0, kFilters[1].f1>(base, history, out); return;
        case 2: predict<kFilters[2].f0, kFilters[2].f1>(base, history, out); return;
        case 3: predict<kFilters[3].f0, kFilters[3].f1>(base, history, out); return;
        case 4: predict<kFilters[4].f0, kFilters[4].f1>(base, history, out); return;
        default: break;
    }
    // No prediction: every value already fits 16 bits (-8 << 12 at the most).
    for (int i = 0; i < kSamplesPerBlock; ++i) out[i] = static_cast<int16_t>(base[i]);
    history.old = base[kSamplesPerBlock - 1];
    history.older = base[kSamplesPerBlock - 2];
}
