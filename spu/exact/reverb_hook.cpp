#include "reverb_hook.h"

#include <cstring>

void reverbRender(ReverbState& /*state*/, uint8_t* /*soundRam*/, const uint16_t* /*registers*/,
                  IrqComparator& /*irq*/, const int32_t* /*inLeft*/, const int32_t* /*inRight*/,
                  int32_t* outLeft, int32_t* outRight, int32_t ticks) {
    if (ticks <= 0) return;
    std::memset(outLeft, 0, sizeof(int32_t) * static_cast<size_t>(ticks));
    std::memset(outRight, 0, sizeof(int32_t) * static_cast<size_t>(ticks));
}
