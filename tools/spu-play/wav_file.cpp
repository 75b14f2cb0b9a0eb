#include "wav_file.h"

#include <cstring>
#include <fstream>
#include <iterator>

namespace demo {

namespace {

uint32_t le32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}
uint16_t le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

}  // namespace

bool readWav(const std::string& path, WavData* out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                     std::istreambuf_iterator<char>());
    if (bytes.size() < 12 || std::memcmp(bytes.data(), "RIFF", 4) != 0 ||
        std::memcmp(bytes.data() + 8, "WAVE", 4) != 0)
        return false;
    bool haveFormat = false;
    size_t at = 12;
    while (at + 8 <= bytes.size()) {
        const uint8_t* chunk = bytes.data() + at;
        const uint32_t size = le32(chunk + 4);
        if (size > bytes.size() - at - 8) return false;
        if (std::memcmp(chunk, "fmt ", 4) == 0 && size >= 16) {
            if (le16(chunk + 8) != 1) return false;  // PCM only
            out->channels = le16(chunk + 10);
            out->sampleRate = le32(chunk + 12);
            out->bitsPerSample = le16(chunk + 22);
            haveFormat = true;
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            if (!haveFormat || out->bitsPerSample != 16) return false;
            out->samples.resize(size / 2);
            std::memcpy(out->samples.data(), chunk + 8, out->samples.size() * 2);
            return true;
        }
        at += 8 + size + (size & 1);  // chunks are padded to even sizes
    }
    return false;
}

}  // namespace demo
