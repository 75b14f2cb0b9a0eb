// The benchmark's cases without Google Benchmark, timed with std::chrono, so that it builds with
// any toolchain (mingw for Wine included). Prints ns per frame, frames per second and the ratio
// to real time for 0, 1, 8 and 24 voices in passes of 1, 44 and 2048 frames.
//   spu_bench_plain [seconds per case, default 0.5]
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "bench_scene.h"

int main(int argc, char** argv) {
    const double secondsPerCase = argc > 1 ? std::atof(argv[1]) : 0.5;
    static uint8_t out[4 * bench::kMaxBatch];
    std::printf("%-7s %-6s %12s %14s %10s %9s\n", "voices", "batch", "ns/frame", "frames/s",
                "realtime", "sounding");
    for (int voices : {0, 1, 8, 24}) {
        for (int32_t batch : {1, 44, 2048}) {
            auto core = bench::makeCore(voices);
            using Clock = std::chrono::steady_clock;
            const auto start = Clock::now();
            double elapsed = 0;
            int64_t frames = 0;
            // Time whole groups of passes, so that reading the clock costs little.
            while (elapsed < secondsPerCase) {
                for (int i = 0; i < 64; ++i) bench::streamingPass(*core, out, batch);
                frames += 64 * static_cast<int64_t>(batch);
                elapsed = std::chrono::duration<double>(Clock::now() - start).count();
            }
            const double framesPerSecond = static_cast<double>(frames) / elapsed;
            std::printf("%-7d %-6d %12.2f %14.0f %9.1fx %9d\n", voices, static_cast<int>(batch),
                        1e9 / framesPerSecond, framesPerSecond,
                        framesPerSecond / bench::kOutputRate, bench::soundingVoices(*core));
        }
    }
    return out[0] == 0x5A ? 0 : 0;  // keeps the output buffer observable
}
