// Analyses what the sound card played during SpuPlayback: the wrapper script recorded the null
// sink's monitor with parec and names the file in SPU_RECORDING (a Windows path). Each sound is
// judged in the middle of its span, since Wine's mixer may lose the first few hundred ms.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "playback_plan.h"
#include "recording_analysis.h"

namespace spu_wine {
namespace {

// Spans shorter than this are start-up fragments, not one of the two test sounds.
constexpr size_t kMinSoundFrames = 44100;

void judge(const char* sound, const char* side, const ChannelFigures& f, double frequency,
           double predicted) {
    std::printf("[ figures ] %s %s: frequency %.2f Hz (expected %.1f), level %.1f (predicted "
                "%.1f, %+.2f%%), peak %d, silent runs %zu, period breaks %zu (worst diff %d",
                sound, side, f.frequency, frequency, f.amplitude, predicted,
                100.0 * (f.amplitude - predicted) / predicted, f.peak, f.silentRuns,
                f.periodBreaks, f.worstPeriodDiff);
    if (f.periodBreaks > 0) std::printf(", first at %.3f s", f.firstBreak / 44100.0);
    std::printf(")\n");
    EXPECT_NEAR(f.frequency, frequency, frequency * plan::kFrequencyTolerance) << sound << " " << side;
    EXPECT_NEAR(f.amplitude, predicted, predicted * plan::kLevelTolerance) << sound << " " << side;
    EXPECT_EQ(f.silentRuns, 0u) << sound << " " << side << ": dropout";
    EXPECT_EQ(f.periodBreaks, 0u) << sound << " " << side << ": discontinuity";
}

// The middle of a span: skip the start (mixer start-up, attack) and the end (release, drain).
Span middle(Span s, double skipStartSeconds, double skipEndSeconds) {
    Span m;
    m.begin = s.begin + static_cast<size_t>(skipStartSeconds * plan::kRate);
    m.end = s.end - static_cast<size_t>(skipEndSeconds * plan::kRate);
    if (m.end < m.begin) m.end = m.begin;
    return m;
}

TEST(SpuRecording, VoiceSineThenCdAudioAtPredictedPitchAndLevel) {
    const char* path = std::getenv("SPU_RECORDING");
    if (path == nullptr) GTEST_SKIP() << "SPU_RECORDING not set: run through record_playback.sh";
    Recording rec;
    ASSERT_TRUE(readRawStereo(path, rec)) << "cannot read " << path;
    std::printf("[ figures ] recording: %zu frames (%.2f s)\n", rec.frames(),
                rec.frames() / static_cast<double>(plan::kRate));

    std::vector<Span> all = soundingSpans(rec, 300.0, static_cast<size_t>(0.3 * plan::kRate));
    std::vector<Span> sounds;
    for (const Span& s : all) {
        std::printf("[ figures ] sounding span %.3f s to %.3f s (%.3f s)\n",
                    s.begin / static_cast<double>(plan::kRate), s.end / static_cast<double>(plan::kRate),
                    s.length() / static_cast<double>(plan::kRate));
        if (s.length() >= kMinSoundFrames) sounds.push_back(s);
    }
    ASSERT_EQ(sounds.size(), 2u) << "expected the voice and then the CD audio";

    // The voice loop repeats after 700 frames exactly; the CD block after 42.
    // Wine's stream can still slip a frame or two about half a second after it starts.
    const Span voice = middle(sounds[0], 1.0, 0.1);
    const Span cd = middle(sounds[1], 0.3, 0.1);
    std::printf("[ figures ] voice span %.2f s long, analysed %.2f s; CD span %.2f s, analysed %.2f s\n",
                sounds[0].length() / 44100.0, voice.length() / 44100.0,
                sounds[1].length() / 44100.0, cd.length() / 44100.0);
    EXPECT_GT(voice.length(), static_cast<size_t>(1.5 * plan::kRate)) << "too little of the voice was heard";
    EXPECT_GT(cd.length(), static_cast<size_t>(1.2 * plan::kRate)) << "too little of the CD audio was heard";

    const int voiceTolerance = 24;  // a few LSB of float round trip, far below any real break
    judge("voice", "left", measureChannel(rec.left, voice, plan::kVoiceLoopSamples, voiceTolerance),
          plan::kVoiceFrequency, plan::kVoicePredictedLeft);
    judge("voice", "right", measureChannel(rec.right, voice, plan::kVoiceLoopSamples, voiceTolerance),
          plan::kVoiceFrequency, plan::kVoicePredictedRight);
    judge("cd", "left", measureChannel(rec.left, cd, plan::kCdPeriod, voiceTolerance),
          plan::kCdFrequency, plan::kCdPredictedLeft);
    judge("cd", "right", measureChannel(rec.right, cd, plan::kCdPeriod, voiceTolerance),
          plan::kCdFrequency, plan::kCdPredictedRight);
}

}  // namespace
}  // namespace spu_wine
