// adpcm-encode [--loop] INPUT OUTPUT
//
// Turns a 16-bit PCM file into sound RAM blocks. INPUT is a WAV file (16-bit PCM, mono or
// stereo; stereo is mixed down) or, when it has no RIFF header, raw 16-bit little-endian mono.
// The sample rate is not converted: at pitch 0x1000 a voice plays 44100 samples a second.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "adpcm_encoder.h"

namespace {

uint32_t readLe32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

uint16_t readLe16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

int16_t sampleAt(const uint8_t* p) {
    return static_cast<int16_t>(readLe16(p));
}

// Finds the fmt and data chunks; returns false for anything but 16-bit PCM.
bool parseWav(const std::vector<uint8_t>& file, std::vector<int16_t>& pcm, std::string& error) {
    uint32_t channels = 0;
    bool haveFormat = false;
    size_t pos = 12;
    while (pos + 8 <= file.size()) {
        const uint32_t size = readLe32(&file[pos + 4]);
        const size_t body = pos + 8;
        const size_t available = file.size() - body;
        const size_t length = size < available ? size : available;  // tolerate a short last chunk
        if (std::memcmp(&file[pos], "fmt ", 4) == 0 && length >= 16) {
            const uint16_t format = readLe16(&file[body]);
            channels = readLe16(&file[body + 2]);
            const uint16_t bits = readLe16(&file[body + 14]);
            if (format != 1 || bits != 16 || channels == 0 || channels > 2) {
                error = "only 16-bit PCM WAV, mono or stereo, is supported";
                return false;
            }
            haveFormat = true;
        } else if (std::memcmp(&file[pos], "data", 4) == 0) {
            if (!haveFormat) {
                error = "data chunk before fmt chunk";
                return false;
            }
            const size_t frameBytes = 2 * channels;
            for (size_t f = 0; f + frameBytes <= length; f += frameBytes) {
                int32_t sum = 0;
                for (uint32_t c = 0; c < channels; ++c) sum += sampleAt(&file[body + f + 2 * c]);
                pcm.push_back(static_cast<int16_t>(sum / static_cast<int32_t>(channels)));
            }
            return true;
        }
        pos = body + length + (length & 1);  // chunks are padded to even sizes
    }
    error = "no data chunk";
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    bool loop = false;
    std::vector<std::string> paths;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--loop") == 0) {
            loop = true;
        } else {
            paths.emplace_back(argv[i]);
        }
    }
    if (paths.size() != 2) {
        std::fprintf(stderr, "usage: adpcm-encode [--loop] INPUT OUTPUT\n");
        return 2;
    }

    std::ifstream in(paths[0], std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "adpcm-encode: cannot open %s\n", paths[0].c_str());
        return 1;
    }
    const std::vector<uint8_t> file((std::istreambuf_iterator<char>(in)),
                                    std::istreambuf_iterator<char>());

    std::vector<int16_t> pcm;
    if (file.size() >= 12 && std::memcmp(&file[0], "RIFF", 4) == 0 &&
        std::memcmp(&file[8], "WAVE", 4) == 0) {
        std::string error;
        if (!parseWav(file, pcm, error)) {
            std::fprintf(stderr, "adpcm-encode: %s: %s\n", paths[0].c_str(), error.c_str());
            return 1;
        }
    } else {
        for (size_t i = 0; i + 2 <= file.size(); i += 2) pcm.push_back(sampleAt(&file[i]));
    }

    const std::vector<uint8_t> blocks =
        encodeAdpcm(pcm.data(), pcm.size(), loop ? AdpcmLoop::Loop : AdpcmLoop::OneShot);
    std::ofstream out(paths[1], std::ios::binary);
    out.write(reinterpret_cast<const char*>(blocks.data()),
              static_cast<std::streamsize>(blocks.size()));
    if (!out) {
        std::fprintf(stderr, "adpcm-encode: cannot write %s\n", paths[1].c_str());
        return 1;
    }
    std::printf("%lu samples, %lu blocks\n", static_cast<unsigned long>(pcm.size()),
                static_cast<unsigned long>(blocks.size() / kAdpcmBlockBytes));
    return 0;
}
