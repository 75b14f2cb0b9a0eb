#include "adpcm_unit_search.h"

#include "fixed_point.h"

namespace {

constexpr int32_t kNibbleScale = 4096;
constexpr int kPredictorShift = 6;

int32_t clamp16(int32_t v) { return v > INT16_MAX ? INT16_MAX : v < INT16_MIN ? INT16_MIN : v; }

AdpcmUnit tryUnit(const int16_t* target, AdpcmHistory history, const AdpcmDecoderRules& rules,
                  int filter, int shift) {
    AdpcmUnit unit;
    unit.filter = static_cast<uint8_t>(filter);
    unit.shift = static_cast<uint8_t>(shift);
    const AdpcmWeights w = rules.filters[filter];
    for (size_t i = 0; i < kAdpcmUnitSamples; ++i) {
        const int32_t prediction = shiftRightArithmetic(
            wrappingAdd32(wrappingAdd32(wrappingMul32(history.h1, w.f0),
                                        wrappingMul32(history.h2, w.f1)),
                          rules.rounding),
            kPredictorShift);
        int64_t bestError = -1;
        for (int32_t nibble = -8; nibble <= 7; ++nibble) {
            int32_t sample =
                wrappingAdd32(shiftRightArithmetic(nibble * kNibbleScale, shift), prediction);
            if (rules.clamps) sample = clamp16(sample);
            const int64_t diff = static_cast<int64_t>(target[i]) - sample;
            if (bestError < 0 || diff * diff < bestError) {
                bestError = diff * diff;
                unit.nibbles[i] = static_cast<uint8_t>(nibble & 0x0F);
                unit.end.h1 = sample;
            }
        }
        unit.error += bestError;
        unit.end.h2 = history.h1;
        history = unit.end;
    }
    return unit;
}

}  // namespace

AdpcmUnit encodeAdpcmUnit(const int16_t* target, AdpcmHistory history,
                          const AdpcmDecoderRules& rules, int filterLimit) {
    AdpcmUnit best;
    bool haveBest = false;
    const int filters = filterLimit < rules.filterCount ? filterLimit : rules.filterCount;
    for (int filter = 0; filter < filters; ++filter) {
        for (int shift = 0; shift < rules.shiftCount; ++shift) {
            const AdpcmUnit trial = tryUnit(target, history, rules, filter, shift);
            if (!haveBest || trial.error < best.error) {
                best = trial;
                haveBest = true;
            }
        }
    }
    return best;
}
