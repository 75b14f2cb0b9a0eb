#pragma once
// Shared by the voice tests: a sound RAM to place blocks in, and one output step read back
// through the mixer exactly as a frame would be.
#include <cstdint>
#include <initializer_list>
#include <vector>

#include "mix_accumulator.h"
#include "voice.h"

namespace voicetest {

struct Frame {
    int16_t left;
    int16_t right;
};

// One output step of one voice, as the mixer emits it.
inline Frame render(Voice& voice) {
    MixAccumulator mix;
    voice.renderSample(mix);
    Frame frame{0, 0};
    mix.emit(frame.left, frame.right);
    return frame;
}

struct SoundRam {
    std::vector<uint8_t> bytes = std::vector<uint8_t>(0x80000, 0);

    // Writes a block at 8-byte unit `address`; bytes past the end wrap as the voice reads them.
    // data holds up to 14 bytes, two samples each, low nibble first.
    void putBlock(uint32_t address, uint8_t header, uint8_t flags,
                  std::initializer_list<uint8_t> data = {}) {
        const uint32_t base = address * 8u;
        bytes[(base + 0) & 0x7FFFF] = header;
        bytes[(base + 1) & 0x7FFFF] = flags;
        for (uint32_t i = 0; i < 14; ++i) bytes[(base + 2 + i) & 0x7FFFF] = 0;
        uint32_t i = 0;
        for (uint8_t b : data) bytes[(base + 2 + i++) & 0x7FFFF] = b;
    }

    void setNibble(uint32_t address, int sample, uint8_t nibble) {
        uint8_t& b = bytes[(address * 8u + 2 + static_cast<uint32_t>(sample / 2)) & 0x7FFFF];
        b = (sample & 1) == 0 ? static_cast<uint8_t>((b & 0xF0) | nibble)
                              : static_cast<uint8_t>((b & 0x0F) | (nibble << 4));
    }
};

// Puts a keyed-on voice into a sustain that holds the envelope where `accumulator` says.
inline void holdEnvelope(Voice& voice, int32_t accumulator) {
    voice.setPhaseForTest(EnvelopePhase::Sustain);
    voice.setEnvelopeAccumulatorForTest(accumulator);
    voice.writeAdsr2(0x1FC0);  // sustain rate 127: step 0
}

// A voice keyed on at `start`, fixed volume 0x3FFF on both sides, envelope held at full.
inline void startHeld(Voice& voice, const SoundRam& ram, uint32_t start, uint32_t pitch) {
    voice.setSoundRam(ram.bytes.data());
    voice.writeStartAddress(start);
    voice.writePitch(pitch);
    voice.writeVolumeLeft(0x3FFF);
    voice.writeVolumeRight(0x3FFF);
    voice.keyOn(1);
    holdEnvelope(voice, Voice::kEnvelopeFull);
}

}  // namespace voicetest
