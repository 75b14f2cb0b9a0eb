// Frame production with 0, 1 and 24 sounding voices. Each voice loops a chain of random ADPCM
// blocks (flag 6 on the first, 3 on the last) so that it keeps decoding blocks for as long as
// the benchmark runs. Run it short, for example
//   spu_bench --benchmark_min_time=0.2
// and read "realtime": how many times faster than the 44100 Hz the streaming thread needs.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <random>
#include <vector>

#include "spu_core.h"

namespace {

constexpr double kOutputRate = 44100.0;
constexpr int kBlocksPerVoice = 16;
constexpr uint32_t kHostBase = 0x1F801000;

// Writes kBlocksPerVoice random blocks at unit `start` through the data port: random shift
// 0..11 and filter 0..4 (so the predictor works), random nibbles, loop flags at both ends.
void writeLoopingSample(SpuCore& core, std::mt19937& rng, uint16_t start) {
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

std::unique_ptr<SpuCore> makeCore(int voices) {
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

void BM_ProduceFrame(benchmark::State& state) {
    auto core = makeCore(static_cast<int>(state.range(0)));
    int16_t left = 0, right = 0;
    int64_t framesSinceRefresh = 0;
    for (auto _ : state) {
        core->produceFrame(left, right);
        benchmark::DoNotOptimize(left);
        benchmark::DoNotOptimize(right);
        // The streaming thread refreshes the shadow after each batch (about 44 frames a pass).
        if (++framesSinceRefresh == 44) {
            core->refreshShadow();
            framesSinceRefresh = 0;
        }
    }
    // Voices still sounding at the end: shows that the looping chains held for the whole run.
    int sounding = 0;
    for (int v = 0; v < SpuCore::kVoiceCount; ++v) sounding += core->voice(v).isActive();
    state.counters["sounding"] = sounding;
    state.SetItemsProcessed(state.iterations());
    // Frames per second over 44100: the library prints it as a rate ("/s"), but it is a ratio.
    state.counters["realtime"] = benchmark::Counter(
        static_cast<double>(state.iterations()) / kOutputRate, benchmark::Counter::kIsRate);
}

}  // namespace

BENCHMARK(BM_ProduceFrame)->Arg(0)->Arg(1)->Arg(24)->ArgName("voices");

BENCHMARK_MAIN();
