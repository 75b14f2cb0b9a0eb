#pragma once
// The demo phrase as a list of timed host actions: register writes and DMA uploads, each at the
// output frame before which it happens. spu-play performs it through the plug-in's exports and
// the test performs it on a bare SpuCore, so both hear exactly the same writes at the same
// frames.
#include <cstdint>
#include <vector>

namespace demo {

struct PhraseEvent {
    enum class Kind { Register, Dma };
    uint32_t frame = 0;        // applied after this many frames have been produced
    Kind kind = Kind::Register;
    uint32_t address = 0;      // Register: the console's register address
    uint16_t value = 0;
    std::vector<uint16_t> words;  // Dma: the block, at the transfer address set just before
};

struct Phrase {
    std::vector<PhraseEvent> events;  // in frame order
    uint32_t frames = 0;              // length of the phrase, release tails included
};

// What the events are applied to.
class PhraseTarget {
public:
    virtual ~PhraseTarget() = default;
    virtual void writeRegister(uint32_t address, uint16_t value) = 0;
    virtual void writeDma(const uint16_t* words, int32_t count) = 0;
};

void applyEvent(const PhraseEvent& event, PhraseTarget& target);

// A few seconds in A minor: a bass line, a three-voice arpeggio and a pad that swells in and
// out by volume sweep; five voices with their own pitches, envelopes and volumes.
Phrase buildDemoPhrase();

}  // namespace demo
