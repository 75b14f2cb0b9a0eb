// Frame production with 0, 1, 8 and 24 sounding voices, in streaming passes of 1, 44 (one
// millisecond) and 2048 frames; each pass ends with the register shadow copy, as the streaming
// thread's does. Run it short, for example
//   spu_bench --benchmark_min_time=0.2
// and read "realtime": how many times faster than the 44100 Hz the streaming thread needs.
#include <benchmark/benchmark.h>

#include "bench_scene.h"

namespace {

void BM_ProduceFrames(benchmark::State& state) {
    auto core = bench::makeCore(static_cast<int>(state.range(0)));
    const auto batch = static_cast<int32_t>(state.range(1));
    static uint8_t out[4 * bench::kMaxBatch];
    for (auto _ : state) {
        bench::streamingPass(*core, out, batch);
        benchmark::DoNotOptimize(out);
        benchmark::ClobberMemory();
    }
    // Voices still sounding at the end: shows that the looping chains held for the whole run.
    state.counters["sounding"] = bench::soundingVoices(*core);
    const double frames = static_cast<double>(state.iterations()) * batch;
    state.SetItemsProcessed(static_cast<int64_t>(frames));
    state.counters["ns_per_frame"] = benchmark::Counter(
        frames * 1e-9, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    // Frames per second over 44100: the library prints it as a rate ("/s"), but it is a ratio.
    state.counters["realtime"] =
        benchmark::Counter(frames / bench::kOutputRate, benchmark::Counter::kIsRate);
}

}  // namespace

BENCHMARK(BM_ProduceFrames)
    ->ArgNames({"voices", "batch"})
    ->ArgsProduct({{0, 1, 8, 24}, {1, 44, 2048}});

BENCHMARK_MAIN();
