// Replays a console test on ExactCore, one command a line on stdin, one reply a line on stdout.
// render_check.py reads the recordings' manifest and drives it; this side only knows the chip
// and the passage of time. Commands (numbers in hex unless marked):
//   write ADDR VALUE         16-bit register write                 -> ok
//   read ADDR                16-bit register read                  -> value (decimal)
//   ram BYTE_ADDR HEXBYTES   load sound RAM directly (preconditions) -> ok
//   dma_to HEXBYTES          the DMA write entry point             -> ok
//   dma_from BYTES(dec)      the DMA read entry point              -> the bytes in hex
//   edge                     run until the tick that writes capture slot 0 -> ticks taken
//   wait CYCLES(dec)         run that many CPU cycles (768 a tick, remainder kept) -> ok
//   poll ADDR MASK VALUE eq|ne MAX(dec)  read until (reg & MASK) ==/!= VALUE, one tick between
//                            reads -> reads taken, 0 when MAX reads did not find it
//   keyon_delay TICKS(dec)   ticks to let pass before the first key-on after an edge -> ok
// The key-on delay stands for the time the console's CPU needs between seeing the capture edge
// and writing the key-on, plus the chip's own key-on latency.
#include <cstdint>
#include <cstdio>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "exact_core.h"

namespace {

constexpr uint32_t kStatus = 0xDAE;
constexpr uint16_t kCaptureHalfBit = 0x0800;
constexpr int32_t kEdgeTickLimit = 4096;  // two laps of the ring: the capture is not running

class Session {
  public:
    Session() : core(std::make_unique<ExactCore>(64)) {}

    std::string run(const std::string& line) {
        std::istringstream in(line);
        std::string op;
        in >> op;
        if (op == "write") {
            uint32_t addr = 0;
            uint32_t value = 0;
            in >> std::hex >> addr >> value;
            const uint32_t offset = addr & 0xFFF;
            if (afterEdge && (offset == 0xD88 || offset == 0xD8A)) {
                afterEdge = false;
                ticks(keyOnDelay);
            }
            core->writeRegister(addr, value);
            return "ok";
        }
        if (op == "read") {
            uint32_t addr = 0;
            in >> std::hex >> addr;
            return std::to_string(core->readRegister(addr));
        }
        if (op == "ram" || op == "dma_to") {
            uint32_t at = 0;
            if (op == "ram") in >> std::hex >> at;
            std::string hex;
            in >> hex;
            const std::vector<uint8_t> bytes = fromHex(hex);
            if (op == "ram") {
                for (size_t i = 0; i < bytes.size(); ++i) {
                    core->soundRamBytes()[(at + i) % ExactCore::kSoundRamBytes] = bytes[i];
                }
            } else {
                std::vector<uint16_t> words(bytes.size() / 2);
                for (size_t i = 0; i < words.size(); ++i) {
                    words[i] = static_cast<uint16_t>(bytes[2 * i] | bytes[2 * i + 1] << 8);
                }
                core->writeBlock(words.data(), static_cast<int32_t>(words.size()));
            }
            return "ok";
        }
        if (op == "dma_from") {
            int32_t count = 0;
            in >> count;
            std::vector<uint16_t> words(static_cast<size_t>(count / 2));
            core->readBlock(words.data(), static_cast<int32_t>(words.size()));
            std::string hex;
            char buf[8];
            for (uint16_t w : words) {
                std::snprintf(buf, sizeof buf, "%02x%02x", w & 0xFF, w >> 8);
                hex += buf;
            }
            return hex;
        }
        if (op == "edge") return std::to_string(edge());
        if (op == "wait") {
            int64_t cycles = 0;
            in >> cycles;
            cycleRemainder += cycles;
            const int64_t whole = cycleRemainder / ExactCore::kCyclesPerTick;
            cycleRemainder -= whole * ExactCore::kCyclesPerTick;
            ticks(static_cast<int32_t>(whole));
            return "ok";
        }
        if (op == "poll") return std::to_string(poll(in));
        if (op == "keyon_delay") {
            in >> keyOnDelay;
            return "ok";
        }
        return "error unknown command " + op;
    }

  private:
    void ticks(int32_t n) {
        if (n > 0) core->runTicks(n);
    }

    // As the console test does it: spin until SPUSTAT bit 11 reads 1, then until it reads 0.
    int32_t edge() {
        afterEdge = true;
        int32_t taken = 0;
        while ((core->readRegister(kStatus) & kCaptureHalfBit) == 0 && taken < kEdgeTickLimit) {
            ticks(1);
            ++taken;
        }
        while ((core->readRegister(kStatus) & kCaptureHalfBit) != 0 && taken < kEdgeTickLimit) {
            ticks(1);
            ++taken;
        }
        return taken;
    }

    int64_t poll(std::istringstream& in) {
        uint32_t addr = 0;
        uint32_t mask = 0;
        uint32_t value = 0;
        std::string cmp;
        int64_t max = 0;
        in >> std::hex >> addr >> mask >> value >> cmp >> std::dec >> max;
        for (int64_t reads = 1; reads <= max; ++reads) {
            const bool equal = (core->readRegister(addr) & mask) == value;
            if (equal == (cmp == "eq")) return reads;
            ticks(1);
        }
        return 0;
    }

    static std::vector<uint8_t> fromHex(const std::string& hex) {
        std::vector<uint8_t> bytes;
        for (size_t i = 0; i + 1 < hex.size(); i += 2) {
            bytes.push_back(static_cast<uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
        }
        return bytes;
    }

    std::unique_ptr<ExactCore> core;
    int64_t cycleRemainder = 0;
    int32_t keyOnDelay = 0;
    bool afterEdge = false;
};

}  // namespace

int main() {
    std::ios::sync_with_stdio(false);
    Session session;
    std::string line;
    while (std::getline(std::cin, line)) {
        if (line.empty()) continue;
        std::cout << session.run(line) << '\n' << std::flush;
    }
    return 0;
}
