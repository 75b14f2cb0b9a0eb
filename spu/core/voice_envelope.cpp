// The ADSR envelope: a 24-bit accumulator that moves by a fixed step once per output sample.
// All four phases are linear; the exponential bits of the ADSR registers are stored only.
#include "fixed_point.h"
#include "voice.h"
#include "voice_step_math.h"

namespace {

constexpr int32_t kAttackNumerator = 0x800000;  // rate 0 reaches full scale in 2 samples
constexpr int32_t kDecayUnit = 4096;            // decay rate 0 takes 4097 samples
constexpr int32_t kSustainHold = 127;           // sustain rate that holds the level
constexpr int32_t kReleaseUnit = 64;            // release rate 31 takes 256 samples
constexpr int32_t kSustainLevelUnit = 0xFFFFF;  // one sixteenth of full scale
constexpr int kLevelShift = 8;                  // envelopeLevel = accumulator >> 8

}  // namespace

// Divisions happen here, once per rate or phase change, never in the per-sample path.
void Voice::computeEnvelopeStep() {
    switch (phase) {
        case EnvelopePhase::Idle:
            envelopeStep = 0;
            break;
        case EnvelopePhase::Attack:
            envelopeStep = kAttackNumerator / (2 * attackRate * attackRate + 1);
            break;
        case EnvelopePhase::Decay:
            envelopeStep = -kEnvelopeFull / ((decayRate + 1) * kDecayUnit);
            break;
        case EnvelopePhase::Sustain: {
            if (sustainRate == kSustainHold) {
                envelopeStep = 0;
                break;
            }
            const int32_t span = sustainDecrease != 0 ? -kEnvelopeFull : kEnvelopeFull;
            const int32_t rate = sustainRate + 1;
            envelopeStep = span / (rate * rate * rate / 4 + 1);
            break;
        }
        case EnvelopePhase::Release:
            envelopeStep = -(releaseRate + 1) * (releaseRate + 1) * kReleaseUnit;
            break;
    }
}

void Voice::stepEnvelope() {
    envelopeAccumulator = wrappingAdd32(envelopeAccumulator, envelopeStep);
    switch (phase) {
        case EnvelopePhase::Idle:
            // Reached only when a block's end flag stopped the voice in this very step: the
            // sample that step still produces comes out silent.
            envelopeAccumulator = 0;
            break;
        case EnvelopePhase::Attack:
            if (envelopeAccumulator >= kEnvelopeFull) {
                envelopeAccumulator = kEnvelopeFull;
                phase = EnvelopePhase::Decay;
                computeEnvelopeStep();
            }
            break;
        case EnvelopePhase::Decay: {
            // Read every sample, so an ADSR1 write that raises the sustain level above the
            // present level ends the decay at once with an upward jump. Level 0 gives -1,
            // which the decay only reaches after passing 0: one sample at level -1 follows.
            const int32_t threshold = sustainLevel * kSustainLevelUnit - 1;
            if (envelopeAccumulator <= threshold) {
                envelopeAccumulator = threshold;
                phase = EnvelopePhase::Sustain;
                computeEnvelopeStep();
            }
            break;
        }
        case EnvelopePhase::Sustain:
            // A rising sustain stops at full scale and stays in Sustain until key off.
            if (envelopeAccumulator >= kEnvelopeFull) {
                envelopeAccumulator = kEnvelopeFull;
            } else if (envelopeAccumulator <= 0) {
                envelopeAccumulator = 0;
                phase = EnvelopePhase::Idle;
            }
            break;
        case EnvelopePhase::Release:
            if (envelopeAccumulator <= 0) {
                envelopeAccumulator = 0;
                phase = EnvelopePhase::Idle;
            }
            break;
    }
    envelopeLevel = shiftRightArithmetic(envelopeAccumulator, kLevelShift);
}

// Steps from now in which stepEnvelope only adds the step: no phase change and no clamp. The
// checks below mirror those in stepEnvelope; a sustain resting at full scale holds (step 0).
int32_t Voice::envelopeQuietSteps(int32_t limit, int32_t& step) const {
    step = envelopeStep;
    const int32_t acc = envelopeAccumulator;
    switch (phase) {
        case EnvelopePhase::Attack:
            return voicestep::stepsWithin(acc, step, INT32_MIN, kEnvelopeFull - 1, limit);
        case EnvelopePhase::Decay: {
            const int32_t threshold = sustainLevel * kSustainLevelUnit - 1;
            return voicestep::stepsWithin(acc, step, threshold + 1, INT32_MAX, limit);
        }
        case EnvelopePhase::Sustain:
            if (acc == kEnvelopeFull && step >= 0) {
                step = 0;
                return limit;
            }
            return voicestep::stepsWithin(acc, step, 1, kEnvelopeFull - 1, limit);
        case EnvelopePhase::Release:
            return voicestep::stepsWithin(acc, step, 1, INT32_MAX, limit);
        case EnvelopePhase::Idle:
            break;
    }
    return 0;
}
