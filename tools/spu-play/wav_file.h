#pragma once
// Reading back the 16-bit PCM WAV files the simulation's capture writes.
#include <cstdint>
#include <string>
#include <vector>

namespace demo {

struct WavData {
    uint16_t channels = 0;
    uint32_t sampleRate = 0;
    uint16_t bitsPerSample = 0;
    std::vector<int16_t> samples;  // interleaved
};

// Parses RIFF/WAVE with a PCM "fmt " chunk and a "data" chunk; false when the file is missing,
// truncated or not 16-bit PCM.
bool readWav(const std::string& path, WavData* out);

}  // namespace demo
