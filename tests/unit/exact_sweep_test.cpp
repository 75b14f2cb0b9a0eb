// The exact chip's envelope engine driving volume sweeps (step sizes, the phase bit, the
// saturation ranges, exponential modes, the counter, the rates that never step) and fixed
// volumes, from the table in data/exact_sweeps.txt.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "exact_voice.h"

TEST(ExactSweep, LevelAfterTicks) {
    std::ifstream in(REVERB_TEST_DATA "/exact_sweeps.txt");
    int rows = 0;
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream row(line);
        uint16_t reg = 0;
        int32_t start = 0, ticks = 0, level = 0;
        std::string what;
        row >> std::hex >> reg >> start >> ticks >> level;
        std::getline(row, what);
        VolumeChannel channel;
        channel.level = start;
        channel.write(reg);
        for (int32_t i = 0; i < ticks; ++i) channel.tick();
        EXPECT_EQ(channel.level, level) << what;
        ++rows;
    }
    EXPECT_EQ(rows, 19);
}
