#include "mix_accumulator.h"

#include "fixed_point.h"

void MixAccumulator::add(int16_t l, int16_t r, int32_t reverb) {
    // 25 contributions of 16 bits cannot overflow 32 bits, but a caller that never emits (the
    // reverb pair is never read back by the output path) must not reach undefined behaviour,
    // so the sums wrap like the hardware's adders would.
    left = wrappingAdd32(left, l);
    right = wrappingAdd32(right, r);
    if (reverb != 0) {
        reverbLeft = wrappingAdd32(reverbLeft, l);
        reverbRight = wrappingAdd32(reverbRight, r);
    }
}

void MixAccumulator::emit(int16_t& outLeft, int16_t& outRight) {
    outLeft = clampToOutput(left);
    outRight = clampToOutput(right);
    left = 0;
    right = 0;
    reverbLeft = 0;
    reverbRight = 0;
}
