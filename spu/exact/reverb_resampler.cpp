#include "reverb_resampler.h"

#include "reverb_math.h"

namespace reverb {

namespace {

// The non-zero even taps h[0], h[2], .., h[18]; the filter is symmetric (h[38 - k] = h[k]) and
// its centre h[19] is 16384. The published 39 coefficients, with the zero odd taps left out:
//   -1 0 2 0 -10 0 35 0 -103 0 266 0 -616 0 1332 0 -2960 0 10246 16384 10246 0 -2960 ...
constexpr int32_t kEvenTaps[10] = {-1, 2, -10, 35, -103, 266, -616, 1332, -2960, 10246};
constexpr int32_t kCentreTap = 16384;
constexpr int kFirShift = 15;  // taps are in units of 1/8000h
// Interpolation doubles the gain to make up for the zeros between the 22050 Hz samples.
constexpr int kInterpolationShift = kFirShift - 1;
// The centre tap lies 19 ticks back: 9 reverb steps on the other side's tick.
constexpr uint32_t kCentreStepsBack = 9;

}  // namespace

int32_t HalfBandResampler::decimate() const {
    // |sum| <= 32768 * (2 * 15571 + 16384) < 2^31: no overflow.
    int32_t sum = kCentreTap * inputAt(19);
    for (uint32_t j = 0; j < 10; ++j) {
        sum += kEvenTaps[j] * (inputAt(2 * j) + inputAt(38 - 2 * j));
    }
    return saturate16(floorShift(sum, kFirShift));
}

int32_t HalfBandResampler::pushOutputAndInterpolate(int32_t sample) {
    outputPos = (outputPos + 1) & kOutputMask;
    output[outputPos] = static_cast<int16_t>(sample);
    // Steps j and 19 - j share the tap h[2j] = h[38 - 2j].
    int32_t sum = 0;
    for (uint32_t j = 0; j < 10; ++j) {
        sum += kEvenTaps[j] * (outputAt(j) + outputAt(19 - j));
    }
    return saturate16(floorShift(sum, kInterpolationShift));
}

int32_t HalfBandResampler::interpolateBetween() const {
    // 2 * 16384 * y / 8000h = y exactly.
    return outputAt(kCentreStepsBack);
}

}  // namespace reverb
