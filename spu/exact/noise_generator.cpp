#include "noise_generator.h"

#include "fixed_point.h"
#include "open_readings.h"

void NoiseGenerator::setControl(uint16_t spucnt) {
    const auto newShift = static_cast<uint8_t>(extractBits(spucnt, 10, 13));
    if (open_readings::kNoiseTimerResetsOnShiftChange && newShift != shift) timer = 0;
    shift = newShift;
    step = static_cast<uint8_t>(extractBits(spucnt, 8, 9));
}
