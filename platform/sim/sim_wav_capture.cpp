// The capture file of the simulated DirectSound: what a listener at the speaker would have
// heard, for tests that compare it with the frames a plug-in produced.
#include "sim_wav_capture.h"

#include <algorithm>

namespace sim::detail {

namespace {

constexpr uint32_t kSampleRate = 44100;
constexpr uint16_t kChannels = 2;
constexpr uint16_t kBitsPerSample = 16;
constexpr uint16_t kBlockAlign = kChannels * kBitsPerSample / 8;  // 4 bytes a frame
// RIFF sizes are 32 bits; a capture longer than that (over 6 hours) is cut at the limit.
constexpr uint64_t kMaxDataBytes = 0xFFFFFFFFu - (WavCapture::kHeaderBytes - 8);

void put16(uint8_t* at, uint16_t value) {
    at[0] = static_cast<uint8_t>(value);
    at[1] = static_cast<uint8_t>(value >> 8);
}

void put32(uint8_t* at, uint32_t value) {
    put16(at, static_cast<uint16_t>(value));
    put16(at + 2, static_cast<uint16_t>(value >> 16));
}

}  // namespace

bool WavCapture::start(const std::string& path) {
    finish();
    file_ = std::fopen(path.c_str(), "wb");
    if (file_ == nullptr) {
        std::fprintf(stderr, "sim: cannot create capture file %s\n", path.c_str());
        return false;
    }
    dataBytes_ = 0;
    writeHeader(0);
    return true;
}

void WavCapture::append(const uint8_t* bytes, size_t count) {
    if (file_ == nullptr) return;
    const uint64_t room = kMaxDataBytes - dataBytes_;
    const size_t taken = static_cast<size_t>(std::min<uint64_t>(count, room));
    dataBytes_ += std::fwrite(bytes, 1, taken, file_);
}

void WavCapture::finish() {
    if (file_ == nullptr) return;
    std::fseek(file_, 0, SEEK_SET);
    writeHeader(static_cast<uint32_t>(dataBytes_));
    std::fclose(file_);
    file_ = nullptr;
}

void WavCapture::writeHeader(uint32_t dataBytes) {
    uint8_t header[kHeaderBytes] = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E',
                                    'f', 'm', 't', ' ', 0, 0, 0, 0, 0, 0, 0, 0,
                                    0,   0,   0,   0,   0, 0, 0, 0, 0, 0, 0, 0,
                                    'd', 'a', 't', 'a', 0, 0, 0, 0};
    put32(header + 4, kHeaderBytes - 8 + dataBytes);
    put32(header + 16, 16);  // size of the PCM fmt chunk
    put16(header + 20, 1);   // PCM
    put16(header + 22, kChannels);
    put32(header + 24, kSampleRate);
    put32(header + 28, kSampleRate * kBlockAlign);
    put16(header + 32, kBlockAlign);
    put16(header + 34, kBitsPerSample);
    put32(header + 40, dataBytes);
    std::fwrite(header, 1, sizeof header, file_);
    std::fflush(file_);
}

}  // namespace sim::detail
