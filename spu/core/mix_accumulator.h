#pragma once
#include <cstdint>

// Sums the contributions of one output frame: 24 voices and the CD audio stream.
// Contributions arrive already narrowed to 16 bits; at most 25 are added per frame, so the
// 32-bit sums cannot overflow and the clamp in emit() is the only saturation on the way out.
class MixAccumulator {
  public:
    static constexpr int32_t kOutputMax = 32767;
    static constexpr int32_t kOutputMin = -32767;  // the chip's mixer never emits -32768

    MixAccumulator() = default;
    virtual ~MixAccumulator() = default;

    // Adds one contribution. When reverb is non-zero the values also go to the reverb pair,
    // which the chip keeps but this plug-in never mixes into the output.
    void add(int16_t left, int16_t right, int32_t reverb);

    // Clamps each side to -32767..32767 (the lower bound is -32767, as the chip's mixer does),
    // writes it out and clears all four sums for the next frame.
    void emit(int16_t& outLeft, int16_t& outRight);

    // The clamp emit() applies: -32767..32767. Also used on the sums of a whole batch.
    static int16_t clampToOutput(int32_t sum) {
        if (sum >= kOutputMax) return static_cast<int16_t>(kOutputMax);
        if (sum <= kOutputMin) return static_cast<int16_t>(kOutputMin);
        return static_cast<int16_t>(sum);
    }

    int32_t leftSum() const { return left; }
    int32_t rightSum() const { return right; }
    int32_t reverbLeftSum() const { return reverbLeft; }
    int32_t reverbRightSum() const { return reverbRight; }

  private:
    int32_t left = 0;
    int32_t right = 0;
    int32_t reverbLeft = 0;  // kept for the reverb unit the chip has; never heard here
    int32_t reverbRight = 0;
};
