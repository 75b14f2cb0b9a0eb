#include "playback_signals.h"

#include <cmath>
#include <cstring>

#include "adpcm_encoder.h"
#include "playback_plan.h"

namespace spu_wine {

namespace {
constexpr double kTwoPi = 6.283185307179586;

int16_t sineSample(double amplitude, int32_t index, int32_t period) {
    return static_cast<int16_t>(std::lround(amplitude * std::sin(kTwoPi * index / period)));
}
}  // namespace

std::vector<uint8_t> encodedVoiceLoop() {
    std::vector<int16_t> pcm(plan::kVoiceLoopSamples);
    for (int32_t i = 0; i < plan::kVoiceLoopSamples; ++i)
        pcm[i] = sineSample(plan::kVoiceSourceAmplitude, i, plan::kVoicePeriod);
    return encodeAdpcm(pcm.data(), pcm.size(), AdpcmLoop::Loop);
}

void fillCdBlock(XaDecodeRecord& record) {
    std::memset(&record, 0, sizeof record);
    record.frequency = plan::kRate;
    record.bits = 16;
    record.stereo = 1;
    // Hosts count a 16-bit stereo block in quarters of a frame: the plug-in divides by 4.
    record.sampleCount = 4 * plan::kCdBlockFrames;
    for (int32_t k = 0; k < plan::kCdBlockFrames; ++k) {
        record.pcm[2 * k] = sineSample(plan::kCdSourceLeft, k, plan::kCdPeriod);
        record.pcm[2 * k + 1] = sineSample(plan::kCdSourceRight, k, plan::kCdPeriod);
    }
}

}  // namespace spu_wine
