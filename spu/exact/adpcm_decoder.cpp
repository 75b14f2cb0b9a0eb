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

// The values of the 28 nibbles before prediction; they do not depend on each other. Each byte
// holds two samples, low nibble first; a nibble is sign-extended through the top of a byte.
void nibbleValues(const uint8_t* block, int32_t* base) {
    const int shift = block[0] & 0x0F;
    if (shift > 12 && open_readings::kLargeShiftKeepsSignOnly) {
        for (int i = 0; i < kSamplesPerBlock; ++i) {
            const uint8_t byte = block[2 + i / 2];
            base[i] = adpcmNibbleValue(((i & 1) == 0 ? byte & 0x0F : byte >> 4) >= 8 ? -8 : 0, shift);
        }
        return;
    }
    for (int j = 0; j < kSamplesPerBlock / 2; ++j) {
        const uint8_t byte = block[2 + j];
        const int32_t low = static_cast<int8_t>(static_cast<uint8_t>(byte << 4)) >> 4;
        const int32_t high = static_cast<int8_t>(byte) >> 4;
        base[2 * j] = (low * 4096) >> shift;
        base[2 * j + 1] = (high * 4096) >> shift;
    }
}

FilterWeights weightsOf(uint8_t header) {
    const int filter = (header >> 4) & 0x0F;
    return filter < 5 ? kFilters[filter] : kFilters[0];
}

}  // namespace

namespace {

// One lane of the interleaved decoder: its history, weights and the step from one sample to
// the next. Kept in scalars so that each lane's chain stays in registers.
struct Lane {
    int32_t old;
    int32_t older;
    int32_t f0;
    int32_t f1;
    int16_t next(int32_t base) {
        int32_t s = shiftRightArithmetic(
            old * f0 + (older * f1 + base * 64 + open_readings::kPredictionRounding), 6);
        if (s != static_cast<int16_t>(s)) s = clampTo16(s);
        older = old;
        old = s;
        return static_cast<int16_t>(s);
    }
};

}  // namespace

void decodeAdpcmBlocks(const uint8_t* const* blocks, AdpcmHistory* histories, int16_t* const* outs,
                       int count) {
    static_assert(kAdpcmLanes == 4, "the loop below names its four lanes");
    int32_t base[kAdpcmLanes][kSamplesPerBlock];
    Lane lanes[kAdpcmLanes];
    int16_t out[kAdpcmLanes][kSamplesPerBlock];
    for (int lane = 0; lane < kAdpcmLanes; ++lane) {
        if (lane < count) {
            nibbleValues(blocks[lane], base[lane]);
            const FilterWeights w = weightsOf(blocks[lane][0]);
            lanes[lane] = Lane{histories[lane].old, histories[lane].older, w.f0, w.f1};
        } else {
            for (int32_t& b : base[lane]) b = 0;  // unused lanes decode silence
            lanes[lane] = Lane{0, 0, 0, 0};
        }
    }
    Lane a = lanes[0];
    Lane b = lanes[1];
    Lane c = lanes[2];
    Lane d = lanes[3];
    for (int i = 0; i < kSamplesPerBlock; ++i) {
        out[0][i] = a.next(base[0][i]);
        out[1][i] = b.next(base[1][i]);
        out[2][i] = c.next(base[2][i]);
        out[3][i] = d.next(base[3][i]);
    }
    lanes[0] = a;
    lanes[1] = b;
    lanes[2] = c;
    lanes[3] = d;
    for (int lane = 0; lane < count; ++lane) {
        for (int i = 0; i < kSamplesPerBlock; ++i) outs[lane][i] = out[lane][i];
        histories[lane].old = lanes[lane].old;
        histories[lane].older = lanes[lane].older;
    }
}

void decodeAdpcmBlock(const uint8_t* block, AdpcmHistory& history, int16_t* out) {
    const int filter = (block[0] >> 4) & 0x0F;
    // The nibbles first (independent of each other), then the prediction, which is serial.
    int32_t base[kSamplesPerBlock];
    nibbleValues(block, base);
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
