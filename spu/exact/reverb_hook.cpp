#include "reverb_hook.h"

#include <cstring>

namespace {
constexpr uint16_t kReverbWritesBit = 0x0080;  // SPUCNT bit 7
}  // namespace

void reverbRender(ReverbState& state, uint8_t* soundRam, uint16_t control, bool running,
                  IrqComparator& irq, const int32_t* inLeft, const int32_t* inRight,
                  int32_t* outLeft, int32_t* outRight, int32_t ticks) {
    if (ticks <= 0) return;
    if (!running) {
        std::memset(outLeft, 0, sizeof(int32_t) * static_cast<size_t>(ticks));
        std::memset(outRight, 0, sizeof(int32_t) * static_cast<size_t>(ticks));
        return;
    }
    const bool writesEnabled = (control & kReverbWritesBit) != 0;
    // The probe stays armed only while a hit would change something: once the flag is up,
    // further matches are not looked for (as IrqComparator::armed()).
    reverb::IrqProbe probe;
    probe.armed = irq.armed();
    probe.address8 = irq.address;
    reverb::ReverbUnit& unit = state.unit;
    for (int32_t t = 0; t < ticks; ++t) {
        const reverb::StereoSample out =
            unit.tick(soundRam, inLeft[t], inRight[t], writesEnabled, probe);
        outLeft[t] = out.left;
        outRight[t] = out.right;
        if (probe.hit) {
            irq.raise();
            probe.hit = false;
            probe.armed = false;
        }
    }
}
