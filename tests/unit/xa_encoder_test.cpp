// The XA encoder, checked by decoding its sectors the way the CD's decoder does: per unit a
// shift (0-12) and filter (0-3) from header byte 4 + u, nibble i of unit u in data row i, byte
// u / 2; t = nibble << 12 >> shift, s = t + ((old * f0 + older * f1 + 32) >> 6), clamped.
#include "xa_encoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

std::vector<int16_t> decode(const std::vector<uint8_t>& data, bool stereo) {
    static const int kF[4][2] = {{0, 0}, {60, 0}, {115, -52}, {98, -55}};
    std::vector<int16_t> out(data.size() / 128 * 8 * 28);
    int history[2][2] = {};
    for (size_t g = 0; g < data.size() / 128; ++g) {
        const uint8_t* group = &data[g * 128];
        for (int u = 0; u < 8; ++u) {
            const int parameter = group[4 + u], c = stereo ? u % 2 : 0;
            EXPECT_EQ(group[u < 4 ? u : u + 8], parameter) << "group " << g << " unit " << u;
            const int* f = kF[(parameter >> 4) & 3];
            int* h = history[c];
            // Where sample i of the unit goes: units of a channel follow each other in order.
            const size_t first = stereo ? (g * 4 + u / 2) * 28 * 2 + c : (g * 8 + u) * 28;
            for (int i = 0; i < 28; ++i) {
                const int byte = group[16 + 4 * i + u / 2];
                const int nibble = (u & 1 ? byte >> 4 : byte) & 0xF;
                const int t = static_cast<int16_t>(nibble << 12) >> (parameter & 0xF);
                const int s = std::clamp(t + ((h[0] * f[0] + h[1] * f[1] + 32) >> 6), -32768, 32767);
                h[1] = h[0], h[0] = s;
                out[first + i * (stereo ? 2 : 1)] = static_cast<int16_t>(s);
            }
        }
    }
    return out;
}

}  // namespace

TEST(XaEncoder, SinesDecodeCloseInBothLayouts) {
    // Two mono sectors of 700 Hz at 18900 Hz, and one stereo sector with different tones on
    // the sides, so a swapped side or a misplaced unit shows as an error of the tone's size.
    // The first unit of a channel has only filter 0 and is coarse (left out of the error); from
    // then on 4 bits with the best filter keep within about 0.5% of full scale.
    const double kPi = 3.14159265358979323846;
    for (const bool stereo : {false, true}) {
        std::vector<int16_t> in(stereo ? 2 * kXaStereoFramesPerSector
                                       : 2 * kXaMonoSamplesPerSector);
        for (size_t n = 0; n < in.size(); ++n) {
            const double t = 2 * kPi * static_cast<double>(stereo ? n / 2 : n);
            in[n] = static_cast<int16_t>(std::lround(!stereo ? 10000 * std::sin(t / 27)
                                                     : n % 2 ? -8000 * std::cos(t / 90)
                                                             : 12000 * std::sin(t / 60)));
        }
        const std::vector<uint8_t> data =
            encodeXaAudio(in.data(), stereo ? in.size() / 2 : in.size(), stereo);
        ASSERT_EQ(data.size(), (stereo ? 1 : 2) * kXaSectorAudioBytes);
        const std::vector<int16_t> out = decode(data, stereo);
        const size_t from = stereo ? 56 : 28;
        double sum = 0;
        for (size_t n = from; n < in.size(); ++n) sum += std::pow(out[n] - in[n], 2);
        EXPECT_LT(std::sqrt(sum / static_cast<double>(in.size() - from)), 100) << stereo;
    }
}
