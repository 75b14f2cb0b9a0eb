// The demo phrase. Timing is in output frames: one beat is a quarter of a second.
#include "phrase_script.h"

#include <algorithm>

#include "instrument.h"

namespace demo {

namespace {

constexpr uint32_t kSpu = 0x1F801000;
constexpr uint32_t kBeat = 11025;           // frames: 0.25 s at 44100 Hz
constexpr uint32_t kPhraseBeats = 12;
constexpr uint32_t kTailBeats = 2;          // room for the last releases
constexpr uint32_t kInstrumentAt = 0x1000;  // byte address of the instrument in sound RAM

// Voice sub-registers: voice v's register r is at 0xC00 + 16v + r.
constexpr uint32_t kVolumeLeft = 0x0, kVolumeRight = 0x2, kPitch = 0x4, kStart = 0x6;
constexpr uint32_t kAdsr1 = 0x8, kAdsr2 = 0xA;

// Volume register values: fixed volumes 0..0x3FFF, sweeps with bit 15 (bit 13: down).
constexpr uint16_t sweepUp(uint16_t rate) { return static_cast<uint16_t>(0x8000 | rate); }
constexpr uint16_t sweepDown(uint16_t rate) { return static_cast<uint16_t>(0xA000 | rate); }

// ADSR1: attack rate (bits 8-14), decay rate (4-7), sustain level (0-3).
constexpr uint16_t adsr1(int attack, int decay, int sustainLevel) {
    return static_cast<uint16_t>((attack << 8) | (decay << 4) | sustainLevel);
}
// ADSR2: sustain going down (bit 14), sustain rate (6-12), release rate (0-4).
constexpr uint16_t adsr2(bool down, int sustainRate, int release) {
    return static_cast<uint16_t>((down ? 0x4000 : 0) | (sustainRate << 6) | release);
}

class Builder {
public:
    void write(uint32_t frame, uint32_t offset, uint16_t value) {
        PhraseEvent e;
        e.frame = frame;
        e.address = kSpu + offset;
        e.value = value;
        phrase.events.push_back(std::move(e));
    }
    void voice(uint32_t frame, int v, uint32_t sub, uint16_t value) {
        write(frame, 0xC00 + 16u * static_cast<uint32_t>(v) + sub, value);
    }
    void upload(uint32_t frame, uint32_t byteAddress, std::vector<uint16_t> words) {
        write(frame, 0xDA6, static_cast<uint16_t>(byteAddress / 8));
        PhraseEvent e;
        e.frame = frame;
        e.kind = PhraseEvent::Kind::Dma;
        e.words = std::move(words);
        phrase.events.push_back(std::move(e));
    }
    void keyOn(uint32_t frame, int v) { write(frame, v < 16 ? 0xD88 : 0xD8A, bit(v)); }
    void keyOff(uint32_t frame, int v) { write(frame, v < 16 ? 0xD8C : 0xD8E, bit(v)); }

    // A note: pitch, then key on; key off after `beats`.
    void note(int v, uint32_t beat, double hz, double beats) {
        const uint32_t on = beat * kBeat;
        voice(on, v, kPitch, pitchFor(hz));
        keyOn(on, v);
        keyOff(on + static_cast<uint32_t>(beats * kBeat), v);
    }

    Phrase finish(uint32_t frames) {
        // A stable sort keeps the order of the writes made for the same frame.
        std::stable_sort(phrase.events.begin(), phrase.events.end(),
                         [](const PhraseEvent& a, const PhraseEvent& b) { return a.frame < b.frame; });
        phrase.frames = frames;
        return std::move(phrase);
    }

private:
    static uint16_t bit(int v) { return static_cast<uint16_t>(1u << (v & 15)); }
    Phrase phrase;
};

// Note frequencies (equal temperament, A4 = 440 Hz).
constexpr double F2 = 87.31, G2 = 98.00, A2 = 110.00, C3 = 130.81;
constexpr double E4 = 329.63, F4 = 349.23, G4 = 392.00, A4 = 440.00, B4 = 493.88;
constexpr double C5 = 523.25, D5 = 587.33, E5 = 659.26, G5 = 783.99;

}  // namespace

void applyEvent(const PhraseEvent& event, PhraseTarget& target) {
    if (event.kind == PhraseEvent::Kind::Register) {
        target.writeRegister(event.address, event.value);
    } else {
        target.writeDma(event.words.data(), static_cast<int32_t>(event.words.size()));
    }
}

Phrase buildDemoPhrase() {
    Builder b;
    b.upload(0, kInstrumentAt, encodedInstrumentWords());

    // Voice 0, bass: quick attack, decay to a low sustain that keeps sinking.
    // Voices 1-3, arpeggio: bright attack, medium decay, panned left, centre, right.
    // Voice 4, pad: slow attack and a level held, while the volume sweeps do the shaping.
    struct Setup { int voice; uint16_t left, right, a1, a2; };
    const Setup setups[] = {
        {0, 0x2400, 0x2400, adsr1(10, 8, 4), adsr2(true, 90, 16)},
        {1, 0x2000, 0x0E00, adsr1(20, 6, 6), adsr2(true, 80, 20)},
        {2, 0x1800, 0x1800, adsr1(20, 6, 6), adsr2(true, 80, 20)},
        {3, 0x0E00, 0x2000, adsr1(20, 6, 6), adsr2(true, 80, 20)},
        {4, sweepUp(40), 0x1000, adsr1(60, 15, 10), adsr2(false, 127, 10)},
    };
    for (const Setup& s : setups) {
        b.voice(0, s.voice, kVolumeLeft, s.left);
        b.voice(0, s.voice, kVolumeRight, s.right);
        b.voice(0, s.voice, kStart, static_cast<uint16_t>(kInstrumentAt / 8));
        b.voice(0, s.voice, kAdsr1, s.a1);
        b.voice(0, s.voice, kAdsr2, s.a2);
    }

    // Bass: Am, F, C, G, two beats for the last two.
    b.note(0, 0, A2, 3.8);
    b.note(0, 4, F2, 3.8);
    b.note(0, 8, C3, 1.8);
    b.note(0, 10, G2, 1.9);

    // Arpeggio: one chord tone a beat, rotating over voices 1 to 3, each ringing two beats.
    const double chords[4][3] = {{A4, C5, E5}, {F4, A4, C5}, {C5, E5, G5}, {G4, B4, D5}};
    const uint32_t chordOfBeat[kPhraseBeats] = {0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 3, 3};
    for (uint32_t beat = 0; beat < kPhraseBeats; ++beat)
        b.note(1 + static_cast<int>(beat % 3), beat, chords[chordOfBeat[beat]][beat % 3], 2.0);

    // Pad: swells in on the left for six beats, then the left sweeps down at the same rate and
    // the right follows it down, so both sides fade while the release ends the note.
    b.note(4, 0, E4, 11.5);
    b.voice(6 * kBeat, 4, kVolumeLeft, sweepDown(40));
    b.voice(6 * kBeat, 4, kVolumeRight, sweepDown(12));

    return b.finish((kPhraseBeats + kTailBeats) * kBeat);
}

}  // namespace demo
