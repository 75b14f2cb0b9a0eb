// make-test-disc ISO OUT.bin OUT.cue
//
// The CD image the emulator test boots for CD audio: track 1 holds the ISO 9660 image as Mode 2
// Form 1 sectors and, from a fixed sector on, an interleaved XA audio stream; track 2 is CD-DA.
// Every sound is a sine of known pitch and level (the test's analysis works them out again):
//
//   XA file 1, channel 1: 4-bit stereo, 37800 Hz, one sector in 8 (the rate a double-speed drive
//     plays it at): left 630 Hz (a period of 60 samples) peak 12000, right 420 Hz (90) peak 8000
//   XA file 1, channel 2: 4-bit mono, 18900 Hz, one sector in 32: 700 Hz (27 samples) peak 10000
//   track 2: 44100 Hz stereo, left 441 Hz (100 frames) peak 9000, right 735 Hz (60) peak 6000
//
// No period divides a sector's length, so a sector lost whole shifts the phase as a lost piece
// of one does. The other XA sectors are silent ones of channel 7, which no test selects. Disc
// addresses are the file sector + 150 (the lead-in's 2 s); EDC and ECC are left zero, which the
// host does not check.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "xa_encoder.h"

namespace {

constexpr size_t kSectorBytes = 2352;
constexpr size_t kForm1Bytes = 2048;
constexpr uint32_t kXaFirstSector = 1000;   // disc address 00:15:25, known to the PS1 program
constexpr uint32_t kXaSectors = 320;        // 10 rounds of 32: 2.13 s of each channel
constexpr uint32_t kPregapSectors = 150;    // track 2's INDEX 00 to INDEX 01
constexpr uint32_t kCdDaSectors = 225;      // 3 s
constexpr size_t kCdDaFramesPerSector = 588;
constexpr uint8_t kSubmodeData = 0x08, kSubmodeAudio = 0x64, kSubmodeLast = 0x81;
constexpr uint8_t kCodingStereo = 0x01, kCoding18900 = 0x04;

uint8_t bcd(uint32_t v) { return static_cast<uint8_t>((v / 10) << 4 | (v % 10)); }

std::string msf(uint32_t sector) {  // cue sheet time: sectors from the start of the file
    char text[16];
    std::snprintf(text, sizeof text, "%02u:%02u:%02u", sector / 4500, sector / 75 % 60, sector % 75);
    return text;
}

// A Mode 2 sector: sync, header, the subheader twice, then `payload` from byte 24.
std::vector<uint8_t> mode2Sector(uint32_t sector, uint8_t channel, uint8_t submode,
                                 uint8_t coding, const uint8_t* payload, size_t bytes) {
    std::vector<uint8_t> s(kSectorBytes, 0);
    std::memset(&s[1], 0xFF, 10);
    const uint32_t address = sector + 150;
    s[12] = bcd(address / 4500);
    s[13] = bcd(address / 75 % 60);
    s[14] = bcd(address % 75);
    s[15] = 2;
    const uint8_t file = submode & 0x04 ? 1 : 0;
    const uint8_t sub[4] = {file, channel, submode, coding};
    std::memcpy(&s[16], sub, 4);
    std::memcpy(&s[20], sub, 4);
    if (payload != nullptr) std::memcpy(&s[24], payload, bytes);
    return s;
}

std::vector<int16_t> sine(size_t count, double period, double peak, size_t stride, size_t offset,
                          std::vector<int16_t> into) {
    const double kPi = 3.14159265358979323846;
    into.resize(count * stride);
    for (size_t n = 0; n < count; ++n)
        into[n * stride + offset] = static_cast<int16_t>(std::lround(peak * std::sin(2 * kPi * n / period)));
    return into;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: make-test-disc ISO OUT.bin OUT.cue\n");
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    const std::vector<uint8_t> iso((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const uint32_t isoSectors = static_cast<uint32_t>((iso.size() + kForm1Bytes - 1) / kForm1Bytes);
    if (!in || iso.empty() || isoSectors > kXaFirstSector) {
        std::fprintf(stderr, "make-test-disc: %s unreadable or over %u sectors\n", argv[1], kXaFirstSector);
        return 1;
    }
    std::ofstream bin(argv[2], std::ios::binary);
    uint32_t sector = 0;
    auto put = [&](const std::vector<uint8_t>& s) {
        bin.write(reinterpret_cast<const char*>(s.data()), static_cast<std::streamsize>(s.size()));
        ++sector;
    };

    // Track 1: the file system, then empty data sectors up to the XA stream.
    std::vector<uint8_t> block(kForm1Bytes);
    for (; sector < kXaFirstSector;) {
        std::fill(block.begin(), block.end(), 0);
        const size_t at = size_t(sector) * kForm1Bytes;
        if (at < iso.size()) std::memcpy(block.data(), &iso[at], std::min(kForm1Bytes, iso.size() - at));
        put(mode2Sector(sector, 0, sector + 1 == isoSectors ? kSubmodeData | kSubmodeLast : kSubmodeData,
                        0, block.data(), kForm1Bytes));
    }

    const size_t stereoSectors = kXaSectors / 8, monoSectors = kXaSectors / 32;
    const size_t stereoFrames = stereoSectors * kXaStereoFramesPerSector;
    const size_t monoSamples = monoSectors * kXaMonoSamplesPerSector;
    const std::vector<int16_t> stereoPcm = sine(stereoFrames, 90, 8000, 2, 1, sine(stereoFrames, 60, 12000, 2, 0, {}));
    const std::vector<uint8_t> stereo = encodeXaAudio(stereoPcm.data(), stereoFrames, true);
    const std::vector<int16_t> monoPcm = sine(monoSamples, 27, 10000, 1, 0, {});
    const std::vector<uint8_t> mono = encodeXaAudio(monoPcm.data(), monoSamples, false);
    const std::vector<uint8_t> silence(kXaSectorAudioBytes, 0);
    for (uint32_t k = 0; k < kXaSectors; ++k) {
        const uint8_t* audio = silence.data();
        uint8_t channel = 7, coding = 0;
        bool last = false;
        if (k % 8 == 1) {
            channel = 1, coding = kCodingStereo, audio = &stereo[k / 8 * kXaSectorAudioBytes];
            last = k / 8 + 1 == stereoSectors;
        } else if (k % 32 == 2) {
            channel = 2, coding = kCoding18900, audio = &mono[k / 32 * kXaSectorAudioBytes];
            last = k / 32 + 1 == monoSectors;
        }
        put(mode2Sector(sector, channel, last ? kSubmodeAudio | kSubmodeLast : kSubmodeAudio, coding,
                        audio, kXaSectorAudioBytes));
    }

    // Track 2: 2 s of silent pregap, then the tone.
    const uint32_t track2Index0 = sector;
    const std::vector<uint8_t> zero(kSectorBytes, 0);
    for (uint32_t k = 0; k < kPregapSectors; ++k) put(zero);
    const size_t cdFrames = kCdDaSectors * kCdDaFramesPerSector;
    const std::vector<int16_t> cd = sine(cdFrames, 60, 6000, 2, 1, sine(cdFrames, 100, 9000, 2, 0, {}));
    for (uint32_t k = 0; k < kCdDaSectors; ++k) {
        std::vector<uint8_t> s(kSectorBytes);
        for (size_t i = 0; i < kSectorBytes / 2; ++i) {
            const uint16_t v = static_cast<uint16_t>(cd[k * kSectorBytes / 2 + i]);
            s[2 * i] = static_cast<uint8_t>(v), s[2 * i + 1] = static_cast<uint8_t>(v >> 8);
        }
        put(s);
    }

    const std::string binName = std::string(argv[2]).substr(std::string(argv[2]).find_last_of('/') + 1);
    std::ofstream cue(argv[3]);
    cue << "FILE \"" << binName << "\" BINARY\n  TRACK 01 MODE2/2352\n    INDEX 01 00:00:00\n"
        << "  TRACK 02 AUDIO\n    INDEX 00 " << msf(track2Index0) << "\n    INDEX 01 "
        << msf(track2Index0 + kPregapSectors) << "\n";
    if (!bin || !cue) {
        std::fprintf(stderr, "make-test-disc: cannot write %s or %s\n", argv[2], argv[3]);
        return 1;
    }
    std::printf("%u sectors: data %u, XA from %u, track 2 from %u\n", sector, isoSectors,
                kXaFirstSector, track2Index0 + kPregapSectors);
    return 0;
}
