// Analyses what the sound card played during SpuSoak: the wrapper script recorded the null
// sink's monitor and names the file in SPU_RECORDING. The tone's pitch and level must hold for
// the whole minute. Silences and breaks are reported as figures, not judged: Wine's own audio
// path inserts short silences now and then, and the soak run itself judges the plug-in's part.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "playback_plan.h"
#include "recording_analysis.h"
#include "soak_plan.h"

namespace spu_wine {
namespace {

TEST(SpuSoakRecording, SteadyToneForTheWholeMinute) {
    const char* path = std::getenv("SPU_RECORDING");
    if (path == nullptr) GTEST_SKIP() << "SPU_RECORDING not set: run through record_playback.sh";
    Recording rec;
    ASSERT_TRUE(readRawStereo(path, rec)) << "cannot read " << path;

    // Bridge gaps of up to 100 ms so that a silence inside the tone is counted, not a split.
    const std::vector<Span> spans = soundingSpans(rec, 300.0, static_cast<size_t>(0.1 * plan::kRate));
    Span tone;
    for (const Span& s : spans)
        if (s.length() > tone.length()) tone = s;
    std::printf("[ figures ] recording %.2f s, %zu sounding span(s), the longest %.2f s\n",
                rec.frames() / 44100.0, spans.size(), tone.length() / 44100.0);
    ASSERT_GT(tone.length(), static_cast<size_t>((soak::kSeconds - 2) * plan::kRate))
        << "the tone did not sound for the whole soak";

    // Skip Wine's start-up and the close.
    Span middle{tone.begin + plan::kRate, tone.end - plan::kRate / 10};
    const int tolerance = 24;
    const ChannelFigures left = measureChannel(rec.left, middle, plan::kVoiceLoopSamples, tolerance);
    const ChannelFigures right = measureChannel(rec.right, middle, plan::kVoiceLoopSamples, tolerance);
    for (const auto& [side, f, predicted] :
         {std::tuple{"left", left, plan::kVoicePredictedLeft},
          std::tuple{"right", right, plan::kVoicePredictedRight}}) {
        std::printf("[ figures ] tone %s over %.1f s: frequency %.3f Hz (expected %.1f), level "
                    "%.1f (predicted %.1f), silent runs %zu, period breaks %zu (worst diff %d)\n",
                    side, middle.length() / 44100.0, f.frequency, plan::kVoiceFrequency,
                    f.amplitude, predicted, f.silentRuns, f.periodBreaks, f.worstPeriodDiff);
        EXPECT_NEAR(f.frequency, plan::kVoiceFrequency,
                    plan::kVoiceFrequency * plan::kFrequencyTolerance) << side;
        EXPECT_NEAR(f.amplitude, predicted, predicted * plan::kLevelTolerance) << side;
    }
}

}  // namespace
}  // namespace spu_wine
