#pragma once
// The demo's one instrument: a plucked-string-like tone of a few harmonics, synthesised at the
// chip's 44100 Hz reference rate and encoded into looping ADPCM blocks.
#include <cstdint>
#include <vector>

namespace demo {

// One period of the tone is 112 samples, four ADPCM blocks, so the loop closes on a whole
// period: at pitch 0x1000 the instrument sounds at 44100 / 112 = 393.75 Hz.
constexpr uint32_t kInstrumentPeriodSamples = 112;
constexpr double kInstrumentBaseHz = 44100.0 / kInstrumentPeriodSamples;

std::vector<int16_t> synthesiseInstrument();

// The instrument as 16-bit words for a DMA upload: the encoder's blocks, little-endian pairs.
std::vector<uint16_t> encodedInstrumentWords();

// Pitch register value that plays the instrument at `hz` (0x1000 = its base frequency).
uint16_t pitchFor(double hz);

}  // namespace demo
