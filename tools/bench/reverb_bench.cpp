// The reverb unit alone, Room preset, writes enabled and the IRQ probe armed (at an address
// it never hits), fed noise: the cost of one tick, which the chip pays on every tick it makes.
//   reverb_bench --benchmark_min_time=0.5
#include <benchmark/benchmark.h>

#include <vector>

#include "reverb_unit.h"

namespace {

// Room: 1F801DC0h..1F801DFEh, work area 26C0h bytes at the end of sound RAM.
constexpr uint16_t kRoom[32] = {
    0x007D, 0x005B, 0x6D80, 0x54B8, 0xBED0, 0x0000, 0x0000, 0xBA80, 0x5800, 0x5300, 0x04D6,
    0x0333, 0x03F0, 0x0227, 0x0374, 0x01EF, 0x0334, 0x01B5, 0x0000, 0x0000, 0x0000, 0x0000,
    0x0000, 0x0000, 0x0000, 0x0000, 0x01B4, 0x0136, 0x00B8, 0x005C, 0x8000, 0x8000};

void BM_ReverbTick(benchmark::State& state) {
    std::vector<uint8_t> ram(0x80000, 0);
    reverb::ReverbUnit unit;
    for (uint32_t i = 0; i < 32; ++i) unit.writeRegister(0xDC0 + 2 * i, kRoom[i]);
    unit.writeRegister(0xDA2, (0x80000 - 0x26C0) / 8);
    unit.writeRegister(0xD84, 0x3000);
    unit.writeRegister(0xD86, 0x3000);
    reverb::IrqProbe irq;
    irq.armed = state.range(0) != 0;
    irq.address8 = 0x100;
    uint32_t noise = 1;
    int64_t sum = 0;
    const int32_t passTicks = 64;  // one host SPUasync call's worth
    for (auto _ : state) {
        for (int32_t t = 0; t < passTicks; ++t) {
            noise = noise * 1103515245u + 12345u;
            const int32_t in = static_cast<int16_t>(noise >> 16);
            const reverb::StereoSample out = unit.tick(ram.data(), in, -in, true, irq);
            sum += out.left + out.right;
        }
    }
    benchmark::DoNotOptimize(sum);
    const double ticks = static_cast<double>(state.iterations()) * passTicks;
    state.counters["ns_per_tick"] = benchmark::Counter(
        ticks * 1e-9, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

}  // namespace

BENCHMARK(BM_ReverbTick)->ArgName("irqArmed")->Arg(0)->Arg(1);

BENCHMARK_MAIN();
