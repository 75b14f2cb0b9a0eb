#pragma once
// Measurements on a recording of the sound card's output: 16-bit stereo frames at 44100 Hz as
// parec writes them. Plain loops, no FFT: the test sounds are single sines whose frequency,
// level and period are known.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace spu_wine {

struct Recording {
    std::vector<int16_t> left;
    std::vector<int16_t> right;
    size_t frames() const { return left.size(); }
};

// Reads raw interleaved s16le stereo; false when the file cannot be read.
bool readRawStereo(const std::string& path, Recording& out);

// A stretch of frames [begin, end).
struct Span {
    size_t begin = 0;
    size_t end = 0;
    size_t length() const { return end - begin; }
};

// Stretches where either side sounds: 10 ms windows whose RMS exceeds the threshold, with gaps
// shorter than minGapFrames bridged (so a dropout inside a sound stays inside its span and is
// found by the dropout count instead of splitting it).
std::vector<Span> soundingSpans(const Recording& r, double rmsThreshold, size_t minGapFrames);

struct ChannelFigures {
    double frequency = 0;       // Hz, from rising zero crossings interpolated between samples
    double amplitude = 0;       // sqrt(2) * RMS: the peak of the sine that has this RMS
    int peak = 0;               // largest magnitude seen
    size_t silentRuns = 0;      // runs of 16 or more frames with |x| <= 8
    size_t periodBreaks = 0;    // frames differing from one period earlier by more than allowed
    int worstPeriodDiff = 0;    // largest |x[n] - x[n - period]|
    size_t firstBreak = 0;      // frame of the first break, if any
};

// Measures one side over the span. period is the exact length in frames after which the test
// sound repeats; a frame that differs from the frame one period earlier by more than
// breakTolerance counts as a break (a dropout, a repeated or a skipped stretch).
ChannelFigures measureChannel(const std::vector<int16_t>& x, Span span, size_t period,
                              int breakTolerance);

}  // namespace spu_wine
