#pragma once
// Random host programs for the SPU core: register writes of every kind, DMA uploads of random
// ADPCM chains, key on and key off, volume sweeps, CD audio blocks, and streaming passes of
// random length. Deterministic for a seed, so that two cores can be given the same program.
#include <cstdint>
#include <memory>
#include <random>
#include <vector>

#include "spu_core.h"

namespace randomprogram {

constexpr uint32_t kHostBase = 0x1F801000;
constexpr int kChainSlots = 8;
constexpr uint16_t kChainBase = 0x0200;      // 8-byte units; slot k starts 0x100 units further
constexpr uint16_t kLastBlockUnit = 0xFFFE;  // a chain here wraps round the end of sound RAM

struct Op {
    enum Kind { Write, Upload, CdBlock, Pass } kind = Pass;
    uint32_t offset = 0;  // Write: register offset 0xC00..0xDFF
    uint16_t value = 0;
    uint16_t startUnit = 0;       // Upload: where the chain goes
    std::vector<uint16_t> words;  // Upload: the chain
    int32_t frames = 0;           // Pass: frames in the streaming pass
};

class Generator {
  public:
    explicit Generator(uint32_t seed) : rng(seed), cd(std::make_unique<XaDecodeRecord>()) {}

    Op next() {
        const uint32_t pick = below(100);
        if (pick < 6) return keyOnMany();
        if (pick < 40) return voiceWrite();
        if (pick < 50) return bitWrite();
        if (pick < 56) return anyWrite();
        if (pick < 62) return upload();
        if (pick < 66) return cdBlock();
        return pass();
    }

    // The CD block of the last CdBlock op.
    const XaDecodeRecord* cdRecord() const { return cd.get(); }

  private:
    uint32_t below(uint32_t n) { return static_cast<uint32_t>(rng() % n); }
    uint16_t any16() { return static_cast<uint16_t>(rng()); }
    uint16_t chainStart() {
        return below(10) == 0 ? kLastBlockUnit
                              : static_cast<uint16_t>(kChainBase + 0x100 * below(kChainSlots));
    }

    static Op write(uint32_t offset, uint16_t value) {
        Op op;
        op.kind = Op::Write;
        op.offset = offset;
        op.value = value;
        return op;
    }

    Op voiceWrite() {
        const uint32_t voice = below(SpuCore::kVoiceCount);
        const uint32_t sub = 2 * below(8);
        uint16_t value = any16();
        switch (sub) {
            case 0x0:
            case 0x2:
                // Half sweeps (bit 15), fast ones (bit 12) and slow ones both ways.
                if (below(2) == 0)
                    value = static_cast<uint16_t>(0x8000 | (value & 0x707F) |
                                                  (below(4) == 0 ? 0x1000 : 0));
                break;
            case 0x4: {
                const uint16_t pitches[] = {
                    0, 0x1000, 0x0800, 0x2000, 0x3FFF, any16(), static_cast<uint16_t>(below(0x40))};
                value = pitches[below(7)];
                break;
            }
            case 0x6:
            case 0xE:
                value = chainStart();
                break;
            case 0xA:
                // Sustain rate 127 holds; a fast release ends voices inside a pass.
                if (below(3) == 0) value = static_cast<uint16_t>((value & 0xC03F) | 0x1FC0);
                break;
            default:
                break;
        }
        return write(0xC00 + 16 * voice + sub, value);
    }

    // Key on, key off and the flag registers: one voice, or a random mask.
    Op bitWrite() {
        const uint32_t pair = below(6);
        const bool high = below(3) == 0;
        const uint16_t value = below(2) == 0 ? static_cast<uint16_t>(1u << below(16)) : any16();
        return write(0xD88 + 4 * pair + (high ? 2 : 0), value);
    }

    // Many voices at once, so that passes mix a full chip's worth of voices.
    Op keyOnMany() {
        return write(below(2) == 0 ? 0xD88 : 0xD8A, static_cast<uint16_t>(any16() | any16()));
    }

    Op anyWrite() { return write(0xC00 + 2 * below(256), any16()); }

    // A chain of 1..12 random blocks through the transfer address and DMA: every shift and
    // filter number, and every flag byte, though mostly the ones sample data uses.
    Op upload() {
        Op op;
        op.kind = Op::Upload;
        op.startUnit = chainStart();
        const uint32_t blocks = 1 + below(12);
        for (uint32_t b = 0; b < blocks; ++b) {
            const uint8_t flagChoices[] = {0, 0, 0, 0, 2, 4,
                                           5, 1, 3, 6, 7, static_cast<uint8_t>(rng())};
            const uint8_t flags =
                b + 1 == blocks ? (below(5) != 0 ? 3 : 1) : flagChoices[below(12)];
            op.words.push_back(static_cast<uint16_t>((rng() & 0xFF) | flags << 8));
            for (int w = 0; w < 7; ++w) op.words.push_back(any16());
        }
        return op;
    }

    Op cdBlock() {
        const int32_t rates[] = {44100, 37800, 18900, static_cast<int32_t>(below(100000)), 0};
        cd->frequency = rates[below(5)];
        cd->bits = below(2) == 0 ? 16 : 4;
        cd->stereo = below(8) == 0 ? 2 : static_cast<int32_t>(below(2));
        cd->sampleCount = static_cast<int32_t>(below(4033));
        for (int32_t i = 0; i < 2 * 4032; ++i) cd->pcm[i] = static_cast<int16_t>(rng());
        Op op;
        op.kind = Op::CdBlock;
        return op;
    }

    // Streaming passes: empty ones, short ones, and up to 4096 frames.
    Op pass() {
        Op op;
        const uint32_t size = below(20);
        op.frames = size == 0 ? 0 : static_cast<int32_t>(size < 12 ? 1 + below(64) : below(4097));
        return op;
    }

    std::mt19937 rng;
    std::unique_ptr<XaDecodeRecord> cd;
};

// Everything but a pass: the same on any core.
inline void apply(SpuCore& core, const Op& op, const XaDecodeRecord* cd) {
    switch (op.kind) {
        case Op::Write:
            core.writeRegister(kHostBase + op.offset, op.value);
            break;
        case Op::Upload:
            core.writeRegister(kHostBase + 0xDA6, op.startUnit);
            core.writeBlock(op.words.data(), static_cast<int32_t>(op.words.size()));
            break;
        case Op::CdBlock:
            core.feedCdAudio(cd);
            break;
        case Op::Pass:
            break;
    }
}

}  // namespace randomprogram
