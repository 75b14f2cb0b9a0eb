#pragma once
// The scene both benchmarks play: `voices` voices, each looping a chain of random ADPCM blocks
// (flag 6 on the first, 3 on the last) so that it keeps decoding blocks for as long as a run
// lasts, at pitches around 1.0, fixed volumes, an attack into a held sustain.
#include <cstdint>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "spu_core.h"

namespace bench {

constexpr double kOutputRate = 44100.0;
constexpr int kBlocksPerVoice = 16;
constexpr uint32_t kHostBase = 0x1F801000;
constexpr int32_t kMaxBatch = 2048;

// Writes kBlocksPerVoice random blocks at unit `start` through the data port: random shift
// 0..11 and filter 0..4 (so the predictor works), random nibbles, loop flags at both ends.
inline void writeLoopingSample(SpuCore& core, std::mt19937& rng, uint16_t start) {
    core.writeRegister(kHostBase + 0xDA6, start);
    std::vector<uint16_t> words;
    for (int b = 0; b < kBlocksPerVoice; ++b) {
        const uint8_t header = static_cast<uint8_t>((rng() % 5) << 4 | (rng() % 12));
        const uint8_t flags = b == 0 ? 6 : (b == kBlocksPerVoice - 1 ? 3 : 0);
        words.push_back(static_cast<uint16_t>(header | flags << 8));
        for (int w = 0; w < 7; ++w) words.push_back(static_cast<uint16_t>(rng()));
    }
    core.writeBlock(words.data(), static_cast<int32_t>(words.size()));
}

inline std::unique_ptr<SpuCore> makeCore(int voices) {
    auto core = std::make_unique<SpuCore>(32);
    std::mt19937 rng(1234);
    uint32_t keyMask = 0;
    for (int v = 0; v < voices; ++v) {
        const uint16_t start = static_cast<uint16_t>(0x100 + v * kBlocksPerVoice * 2);
        writeLoopingSample(*core, rng, start);
        const uint32_t base = kHostBase + 0xC00 + 16u * v;
        core->writeRegister(base + 0x0, 0x1000);  // fixed volumes
        core->writeRegister(base + 0x2, 0x1000);
        core->writeRegister(base + 0x4, 0x0800 + 0x100u * v);  // pitches around 1.0
        core->writeRegister(base + 0x6, start);
        core->writeRegister(base + 0x8, 0x0A0F);  // attack, sustain level 15
        core->writeRegister(base + 0xA, 0x1FC0);  // sustain rate 127: holds
        keyMask |= 1u << v;
    }
    core->writeRegister(kHostBase + 0xD88, keyMask & 0xFFFF);
    core->writeRegister(kHostBase + 0xD8A, keyMask >> 16);
    core->writeRegister(kHostBase + 0xDB0, 0x3FFF);
    core->writeRegister(kHostBase + 0xDB2, 0x3FFF);
    return core;
}

// One pass of the streaming thread: a batch of frames into the buffer, then the shadow copy.
// Built with SPU_BENCH_FRAME_BY_FRAME it makes the frames one call at a time, as the pump did
// before the core had a batch entry point, so that older cores can be measured the same way.
inline void streamingPass(SpuCore& core, uint8_t* out, int32_t frames) {
#ifdef SPU_BENCH_FRAME_BY_FRAME
    for (int32_t i = 0; i < frames; ++i) {
        int16_t left = 0;
        int16_t right = 0;
        core.produceFrame(left, right);
        std::memcpy(out + 4 * i, &left, 2);
        std::memcpy(out + 4 * i + 2, &right, 2);
    }
#else
    core.produceFrames(out, frames);
#endif
    core.refreshShadow();
}

inline int soundingVoices(const SpuCore& core) {
    int sounding = 0;
    for (int v = 0; v < SpuCore::kVoiceCount; ++v) sounding += core.voice(v).isActive();
    return sounding;
}

}  // namespace bench
