#include "instrument.h"

#include <cmath>
#include <cstring>

#include "adpcm_encoder.h"

namespace demo {

namespace {

constexpr uint32_t kPeriods = 8;         // 896 samples, 32 blocks
constexpr double kPeakLevel = 9000.0;    // leaves headroom for five voices in the mix
constexpr double kPi = 3.14159265358979323846;

// Relative amplitudes of harmonics 1 to 5: bright but not buzzy. The decay of the note is the
// voice's envelope; the looped waveform itself stays steady so the loop point cannot click.
constexpr double kHarmonics[] = {1.0, 0.55, 0.30, 0.18, 0.08};

}  // namespace

std::vector<int16_t> synthesiseInstrument() {
    const uint32_t count = kPeriods * kInstrumentPeriodSamples;
    std::vector<double> raw(count);
    double peak = 0.0;
    for (uint32_t i = 0; i < count; ++i) {
        const double phase = 2.0 * kPi * static_cast<double>(i % kInstrumentPeriodSamples) /
                             kInstrumentPeriodSamples;
        double v = 0.0;
        for (size_t h = 0; h < sizeof(kHarmonics) / sizeof(kHarmonics[0]); ++h)
            v += kHarmonics[h] * std::sin(phase * static_cast<double>(h + 1));
        raw[i] = v;
        peak = std::fmax(peak, std::fabs(v));
    }
    std::vector<int16_t> pcm(count);
    for (uint32_t i = 0; i < count; ++i)
        pcm[i] = static_cast<int16_t>(std::lround(raw[i] / peak * kPeakLevel));
    return pcm;
}

std::vector<uint16_t> encodedInstrumentWords() {
    const std::vector<int16_t> pcm = synthesiseInstrument();
    const std::vector<uint8_t> blocks = encodeAdpcm(pcm.data(), pcm.size(), AdpcmLoop::Loop);
    std::vector<uint16_t> words((blocks.size() + 1) / 2);
    std::memcpy(words.data(), blocks.data(), blocks.size());
    return words;
}

uint16_t pitchFor(double hz) {
    const long pitch = std::lround(4096.0 * hz / kInstrumentBaseHz);
    return static_cast<uint16_t>(pitch < 0 ? 0 : (pitch > 0x3FFF ? 0x3FFF : pitch));
}

}  // namespace demo
