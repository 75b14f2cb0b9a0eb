#include "recording_analysis.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace spu_wine {

bool readRawStereo(const std::string& path, Recording& out) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) return false;
    out.left.clear();
    out.right.clear();
    unsigned char frame[4];
    while (std::fread(frame, 1, 4, f) == 4) {
        out.left.push_back(static_cast<int16_t>(frame[0] | (frame[1] << 8)));
        out.right.push_back(static_cast<int16_t>(frame[2] | (frame[3] << 8)));
    }
    std::fclose(f);
    return true;
}

std::vector<Span> soundingSpans(const Recording& r, double rmsThreshold, size_t minGapFrames) {
    constexpr size_t kWindow = 441;  // 10 ms
    std::vector<Span> spans;
    bool open = false;
    Span current;
    size_t lastLoud = 0;
    for (size_t w = 0; w + kWindow <= r.frames(); w += kWindow) {
        double sumL = 0, sumR = 0;
        for (size_t i = w; i < w + kWindow; ++i) {
            sumL += static_cast<double>(r.left[i]) * r.left[i];
            sumR += static_cast<double>(r.right[i]) * r.right[i];
        }
        const double rms = std::sqrt(std::max(sumL, sumR) / kWindow);
        if (rms <= rmsThreshold) continue;
        if (open && w - lastLoud > minGapFrames) {
            spans.push_back(current);
            open = false;
        }
        if (!open) {
            current.begin = w;
            open = true;
        }
        current.end = w + kWindow;
        lastLoud = w + kWindow;
    }
    if (open) spans.push_back(current);
    return spans;
}

ChannelFigures measureChannel(const std::vector<int16_t>& x, Span span, size_t period,
                              int breakTolerance) {
    ChannelFigures f;
    double sumSquares = 0;
    size_t quietRun = 0;
    double firstCrossing = -1, lastCrossing = -1;
    size_t crossings = 0;
    for (size_t n = span.begin; n < span.end; ++n) {
        const int v = x[n];
        sumSquares += static_cast<double>(v) * v;
        f.peak = std::max(f.peak, std::abs(v));
        if (std::abs(v) <= 8) {
            if (++quietRun == 16) ++f.silentRuns;
        } else {
            quietRun = 0;
        }
        if (n > span.begin) {
            const int prev = x[n - 1];
            if (prev < 0 && v >= 0) {
                // Where the straight line between the two samples crosses zero.
                const double t = static_cast<double>(n - 1) + static_cast<double>(-prev) / (v - prev);
                if (firstCrossing < 0) firstCrossing = t;
                lastCrossing = t;
                ++crossings;
            }
        }
        if (n >= span.begin + period) {
            const int diff = std::abs(v - x[n - period]);
            f.worstPeriodDiff = std::max(f.worstPeriodDiff, diff);
            if (diff > breakTolerance && f.periodBreaks++ == 0) f.firstBreak = n;
        }
    }
    if (span.length() > 0) f.amplitude = std::sqrt(2.0 * sumSquares / span.length());
    if (crossings > 1 && lastCrossing > firstCrossing)
        f.frequency = (crossings - 1) * 44100.0 / (lastCrossing - firstCrossing);
    return f;
}

}  // namespace spu_wine
