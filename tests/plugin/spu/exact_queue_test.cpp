// spuTarnExact's queue between the host's clock and the device's, on the manual cursor: a host
// that runs 3% slow or fast (or on time) is followed by the rate correction, so the queue's fill
// settles at its target and stays there, without running dry and without growing.
//
// The probe is CD-DA fed at the host's pace, one frame a tick: silence and a level in turns of
// 1000 frames, so edge k of the output is the chip's tick 1000 k. When the pass that played it
// ends, the queue holds the ticks made so far minus those played:
//     fill = ticks - 1000 k - (frames played after the edge) * ratio,
// and the ratio is within 5% of 1, a few frames over a pass. The chip's CD input plays 2205 ticks
// after the first frame came (cd_input.h): edge k is tick 1000 k + 2205.
#include <algorithm>
#include <cstdio>

#include "spu_test_support.h"

namespace {

class ExactQueueTest : public SpuPluginTest {
protected:
    // Plays `seconds` of a host whose clock runs at `speed` times the device's; returns the fill
    // seen at every edge after the first five seconds.
    std::vector<double> playHost(double speed, int seconds) {
        spu.SPUinit();
        write(0xDAA, 0xC001);  // chip on, unmuted, CD audio on
        write(0xD80, 0x3FFF);
        write(0xD82, 0x3FFF);
        write(0xDB0, 0x7FFF);
        write(0xDB2, 0x7FFF);
        spu.SPUopen();
        settle();
        constexpr uint32_t kPassFrames = 1024;  // an eighth of the 8 KiB buffer's 2048 frames
        std::vector<double> fills;
        uint64_t ticks = 0, cycles = 0;
        int edges = 0;
        bool high = false;
        std::vector<int16_t> pcm;
        for (uint64_t played = 0; played < static_cast<uint64_t>(seconds) * 44100;
             played += kPassFrames) {
            // The host: CD frames for the ticks its cycles complete, then the cycles.
            const uint64_t before = cycles;
            cycles = static_cast<uint64_t>((played + kPassFrames) * 768.0 * speed);
            pcm.clear();
            for (; ticks < cycles / 768; ++ticks)
                pcm.insert(pcm.end(), 2, (ticks / 1000) % 2 ? 8000 : 0);
            spu.SPUplayCDDAchannel(pcm.data(), static_cast<int32_t>(pcm.size() * 2));
            spu.SPUasync(static_cast<uint32_t>(cycles - before));
            advanceAndSettle(kPassFrames * 4);  // the device plays one pass
            const auto b = sim::dsoundStreamBufferContents();
            for (uint32_t i = 0; i < kPassFrames; ++i) {
                const bool h =
                    std::abs(sampleAt(b, static_cast<uint32_t>((played + i) % 2048) * 4)) > 1000;
                if (h == high) continue;
                high = h;
                // 2205 ticks: the CD input's start delay (cd_input.h).
                const double fill =
                    static_cast<double>(ticks) - 2205 - 1000.0 * ++edges - (kPassFrames - i);
                if (played + i > 5 * 44100) fills.push_back(fill);
            }
        }
        return fills;
    }
};

TEST_F(ExactQueueTest, FillHoldsAtTheTargetForAHostSlowOnTimeOrFast) {
    // The target is the streaming buffer, 2048 frames. The correction moves the ratio by at
    // most 0.1 * (error / target) + its slow integral: once settled, a few frames of error.
    for (double speed : {0.97, 1.0, 1.03}) {
        SCOPED_TRACE(speed);
        resetSimulation();
        const auto fills = playHost(speed, 15);
        // 10 s at the host's speed: 441 edges on time; fewer means the queue ran dry or dropped.
        ASSERT_GT(fills.size(), static_cast<size_t>(speed * 10 * 44.1) - 5);
        const auto [low, top] = std::minmax_element(fills.begin(), fills.end());
        std::printf("[ figures ] host speed %.2f: fill %.0f..%.0f\n", speed, *low, *top);
        EXPECT_GT(*low, 2048 - 200);
        EXPECT_LT(*top, 2048 + 200);
        spu.SPUclose();
        spu.SPUshutdown();
    }
}

}  // namespace
