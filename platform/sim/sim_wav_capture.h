#pragma once
// A WAV file that grows as the simulated play cursor passes bytes: 44100 Hz, 16-bit, stereo,
// the canonical 44-byte RIFF header, whose two sizes are patched when the capture is finished.
#include <cstdint>
#include <cstdio>
#include <string>

namespace sim::detail {

class WavCapture {
public:
    WavCapture() = default;
    WavCapture(const WavCapture&) = delete;
    WavCapture& operator=(const WavCapture&) = delete;
    ~WavCapture() { finish(); }

    // Finishes any capture in progress, then starts a new file. False (and a message on stderr)
    // when the file cannot be created.
    bool start(const std::string& path);
    void append(const uint8_t* bytes, size_t count);
    // Patches the header sizes and closes the file; nothing when no capture is active.
    void finish();
    bool active() const { return file_ != nullptr; }

    static constexpr uint32_t kHeaderBytes = 44;

private:
    void writeHeader(uint32_t dataBytes);

    std::FILE* file_ = nullptr;
    uint64_t dataBytes_ = 0;
};

}  // namespace sim::detail
