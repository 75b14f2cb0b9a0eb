#include "reverb_resampler.h"

#include "reverb_math.h"

namespace reverb {

namespace {

// The published coefficients h[0..38], in units of 1/8000h; symmetric (h[38 - k] = h[k]):
//   -1 0 2 0 -10 0 35 0 -103 0 266 0 -616 0 1332 0 -2960 0 10246 16384 10246 0 -2960 ...
//
// Each filter is one dot product over the ring's older entries, oldest first, plus the newest
// sample times h[0] = -1 added on its own: a vector load of the entry just stored would wait
// for the store (no store forwarding from two narrow stores into a wide load).
constexpr int32_t kNewestTap = -1;
// Decimation: 40 entries, the input 40 .. 1 ticks back; lag j takes h[j] (0 beyond 38).
constexpr int kInputWindow = 40;
constexpr int16_t kDecimationTaps[kInputWindow] = {
    0, 0, -1, 0, 2, 0, -10, 0, 35, 0, -103, 0, 266, 0, -616, 0, 1332, 0, -2960, 0,
    10246, 16384, 10246, 0, -2960, 0, 1332, 0, -616, 0, 266, 0, -103, 0, 35, 0, -10, 0, 2, 0};
// Interpolation of the zero-stuffed 22050 Hz stream: only the even taps meet samples on the
// side's own tick. 24 entries, the reverb output 24 .. 1 steps back; step lag j takes h[2j]
// (0 beyond 19).
constexpr int kOutputWindow = 24;
constexpr int16_t kInterpolationTaps[kOutputWindow] = {
    0, 0, 0, 0, 0, -1, 2, -10, 35, -103, 266, -616, 1332, -2960, 10246,
    10246, -2960, 1332, -616, 266, -103, 35, -10, 2};
constexpr int kFirShift = 15;
// Interpolation doubles the gain to make up for the zeros between the 22050 Hz samples.
constexpr int kInterpolationShift = kFirShift - 1;
// The centre tap lies 19 ticks back: 9 reverb steps on the other side's tick.
constexpr uint32_t kCentreStepsBack = 9;

// |sum| <= 32768 * 63434 (the sum of |h|) < 2^31: no overflow in 32 bits.
template <int N>
int32_t dot(const int16_t* taps, const int16_t* window) {
    int32_t sum = 0;
    for (int k = 0; k < N; ++k) sum += taps[k] * window[k];
    return sum;
}

}  // namespace

int32_t HalfBandResampler::decimate() const {
    const int16_t* older = input + inputPos + kInputRing - kInputWindow;
    const int32_t sum = dot<kInputWindow>(kDecimationTaps, older) + kNewestTap * input[inputPos];
    return saturate16(floorShift(sum, kFirShift));
}

int32_t HalfBandResampler::pushOutputAndInterpolate(int32_t sample) {
    const int16_t* older = output + outputPos + kOutputRing + 1 - kOutputWindow;
    const int32_t sum = dot<kOutputWindow>(kInterpolationTaps, older) + kNewestTap * sample;
    outputPos = (outputPos + 1) & kOutputMask;
    output[outputPos] = output[outputPos + kOutputRing] = static_cast<int16_t>(sample);
    return saturate16(floorShift(sum, kInterpolationShift));
}

int32_t HalfBandResampler::interpolateBetween() const {
    // 2 * 16384 * y / 8000h = y exactly.
    return output[outputPos + kOutputRing - kCentreStepsBack];
}

}  // namespace reverb
