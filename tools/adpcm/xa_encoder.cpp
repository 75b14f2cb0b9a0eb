// XA-ADPCM: the search of adpcm_unit_search.h with the CD decoder's rules, packed into sound
// groups. The CD decoder differs from the sound chip's: four filters, shifts 0..12, +32
// rounding before the predictor's shift by 6, and every sample clamped to 16 bits.
#include "xa_encoder.h"

#include "adpcm_unit_search.h"

namespace {

constexpr AdpcmWeights kXaFilters[] = {{0, 0}, {60, 0}, {115, -52}, {98, -55}};
constexpr AdpcmDecoderRules kXaRules = {kXaFilters, 4, 13, 32, true};

constexpr size_t kGroupsPerSector = 18;
constexpr size_t kGroupBytes = 128;
constexpr size_t kGroupHeaderBytes = 16;
constexpr size_t kUnitsPerGroup = 8;
constexpr size_t kRowBytes = 4;

// A group's header: unit u's parameter byte at 4 + u, with bytes 0-3 repeating 4-7 and bytes
// 12-15 repeating 8-11. Unit u's sample i is a nibble of data row i, byte u / 2: low for even u.
void putUnit(uint8_t* group, size_t u, const AdpcmUnit& unit) {
    const uint8_t parameter = static_cast<uint8_t>((unit.filter << 4) | unit.shift);
    group[4 + u] = parameter;
    group[u < 4 ? u : u + 8] = parameter;
    for (size_t i = 0; i < kAdpcmUnitSamples; ++i) {
        uint8_t& byte = group[kGroupHeaderBytes + kRowBytes * i + u / 2];
        byte |= (u & 1) == 0 ? unit.nibbles[i] : static_cast<uint8_t>(unit.nibbles[i] << 4);
    }
}

}  // namespace

std::vector<uint8_t> encodeXaAudio(const int16_t* pcm, size_t frames, bool stereo) {
    const size_t channels = stereo ? 2 : 1;
    const size_t perSector = stereo ? kXaStereoFramesPerSector : kXaMonoSamplesPerSector;
    const size_t sectors = (frames + perSector - 1) / perSector;
    std::vector<uint8_t> out(sectors * kXaSectorAudioBytes, 0);
    AdpcmHistory history[2];
    bool first[2] = {true, true};
    int16_t target[kAdpcmUnitSamples];
    for (size_t g = 0; g < sectors * kGroupsPerSector; ++g) {
        uint8_t* group = &out[g * kGroupBytes];
        for (size_t u = 0; u < kUnitsPerGroup; ++u) {
            const size_t c = u % channels;
            // The unit's first frame: units of one channel follow each other within the group.
            const size_t frame = (g * kUnitsPerGroup + u - c) / channels * kAdpcmUnitSamples;
            for (size_t i = 0; i < kAdpcmUnitSamples; ++i)
                target[i] = frame + i < frames ? pcm[(frame + i) * channels + c] : 0;
            const AdpcmUnit unit = encodeAdpcmUnit(target, history[c], kXaRules, first[c] ? 1 : 4);
            history[c] = unit.end;
            first[c] = false;
            putUnit(group, u, unit);
        }
    }
    return out;
}
