#pragma once
// The 39-tap half-band filter between the 44100 Hz mix and the 22050 Hz reverb, one instance
// per side. Each tick the side's input enters the decimation history; on the side's own tick
// (every other tick) the reverb takes one decimated sample and hands back one output sample,
// and every tick the interpolation gives one 44100 Hz output sample.
//
// Each direction delays by 19 ticks (the filter's centre tap), so a sample goes from the mix to
// the reverb output in 38 ticks when the reverb itself adds no delay - the 38 samples a
// SCPH-1001 showed at its digital output. Only even taps and the centre are non-zero:
//   - decimation at tick n sums h[k] * in[n - k] over k = 0, 2, .., 38 and k = 19;
//   - interpolation treats the 22050 Hz stream as a 44100 Hz one with a zero between samples
//     and doubles the gain (the zeros halve it). On the side's own tick that leaves the even
//     taps over the last 20 reverb samples; on the other tick only the centre tap, which is
//     exactly the reverb sample 9 steps back.
//
// Plain data (the chip copies its state with memcpy).
#include <cstdint>

namespace reverb {

class HalfBandResampler {
  public:
    // The side's 44100 Hz input for this tick, already saturated to 16 bits.
    void pushInput(int32_t sample) {
        inputPos = (inputPos + 1) & kInputMask;
        input[inputPos] = input[inputPos + kInputRing] = static_cast<int16_t>(sample);
    }
    // The decimated sample for the reverb, on the side's own tick, after pushInput.
    int32_t decimate() const;
    // The reverb's output for this step, on the side's own tick; returns the tick's output.
    int32_t pushOutputAndInterpolate(int32_t sample);
    // The output on the other side's tick.
    int32_t interpolateBetween() const;
    // After the bytes of a save state: positions back inside their rings.
    void afterStateLoad() {
        inputPos &= kInputMask;
        outputPos &= kOutputMask;
    }

  private:
    // Each ring is stored twice in a row, so its newest entries always stand contiguous,
    // oldest first, ending at pos + ring: a filter is one dot product.
    static constexpr uint32_t kInputRing = 64;
    static constexpr uint32_t kInputMask = kInputRing - 1;
    static constexpr uint32_t kOutputRing = 32;
    static constexpr uint32_t kOutputMask = kOutputRing - 1;

    int16_t input[2 * kInputRing] = {};
    int16_t output[2 * kOutputRing] = {};
    uint32_t inputPos = 0;
    uint32_t outputPos = 0;
};

}  // namespace reverb
