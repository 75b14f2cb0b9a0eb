#pragma once
// Every behaviour of the chip that the measurements leave open, decided in one place. Each
// constant names the reading this chip follows and why; a later console finding is a one-line
// change here.
#include <cstdint>

namespace open_readings {

// The flags of a block (end, repeat) act when the newest sample in the interpolator is the 21st
// of the block's 28 (index 20), not after its last sample: the mute of end flag 1 shows in the
// end-mute recording exactly there, at pitch 1000h. One recording at one pitch backs it, so
// other pitches follow the same sample index.
constexpr uint32_t kBlockFlagsActAtSample = 20;

// Key-on timing, fitted to the capture recordings at pitches 0800h-3000h. The voice starts with
// the first four samples of the start block in its interpolator (the newest is sample 3), and
// its envelope takes its first step one tick after the key-on tick. Then the first non-zero
// capture sample reproduces the console's exactly (sine: 7409, 20900, 27957, 14278 at ENVX
// 3800h, 7000h, 7FFFh, 3FFFh), and the sample phase after it matches at every pitch; a start
// at sample 0, or an envelope delayed by more ticks, puts the 0800h, 2000h and 3000h
// recordings off by whole samples.
constexpr uint32_t kKeyOnNewestSample = 3;
constexpr uint8_t kEnvelopeStartTicks = 1;

// The ADPCM decoder runs this many samples ahead of the newest sample in the interpolator, so
// a key-on continues from the history of the sample the decoder last produced. In the
// predictor-3 recording the first block after key-on is reproduced within 1 LSB from the
// history of samples 38/39 of the steady loop, and the voice's newest sample was 35 there
// (the test before keyed it on exactly four ring laps earlier).
constexpr uint32_t kDecoderLeadSamples = 4;

// Prediction of filters 2-4: floor of the summed products, as for filter 1 (where +32 is ruled
// out). Rounding variants tried for 2-4 did no better on the stress recordings.
constexpr int32_t kPredictionRounding = 0;

// Shifts 13-15 of sound RAM samples keep only the sign of the nibble: (t >> 3) << 7, i.e. -8
// gives -128 and 0..7 give 0. The recording pins -8 and +7; the other nibbles are unmeasured.
constexpr bool kLargeShiftKeepsSignOnly = true;

// Bit 0 of the start and repeat addresses is ignored (fetches are 16-byte aligned), as a game
// that writes odd addresses needs; not tested on a console.
constexpr bool kBlockAddressIgnoresBit0 = true;

// Key-on does not load the repeat register from the start address: the newer documentation
// dropped that, and the loop-start latch recording leaves the repeat register to the flags.
constexpr bool kKeyOnLoadsRepeat = false;

// Pitch modulation uses the previous voice's output of this same tick (voices run 0..23 in
// order within a tick). No console capture decides between this tick and the one before.
constexpr bool kPitchModUsesThisTick = true;

// The noise timer restarts from 0 whenever SPUCNT's noise shift field changes value (a game is
// known to need a restart on shift writes). The LFSR starts at 0 at power-on.
constexpr bool kNoiseTimerResetsOnShiftChange = true;
constexpr uint16_t kNoiseInitialLfsr = 0;

// The main volume also scales CD audio, and the sum saturates to 16 bits once before and once
// after the main volume. Implementations differ; this is the common one.
constexpr bool kMainVolumeScalesCd = true;

// The IRQ compare runs on every access: a voice re-reads its block header and current data
// halfword all through a tick, so enabling the IRQ (SPUCNT bit 6) while a voice sits on the
// address fires at once. The ack-rearm test saw the flag on the very first status read after
// re-enabling, which a compare only at the next tick would give at best half of the time.
constexpr bool kIrqCheckedOnEnable = true;

// Clearing SPUCNT bit 15 keys every voice off with its envelope at 0 (ENVX reads 0 while the
// chip is disabled); the voices go on fetching, as keyed-off voices do.
constexpr bool kDisableZeroesEnvelopes = true;

// A CPU write to ENVX sets the envelope level (whether it sticks during a note is unmeasured).
constexpr bool kEnvxWritable = true;

// The reverb's readings on rounding and offsets live beside its datapath (reverb_math.h,
// reverb_registers.cpp); those that touch the rest of the chip are here.
//
// Which reverb work-area accesses the IRQ address can hit; the console behaviour is not known.
// Every access counts while SPUCNT bit 7 is set, reads and writes alike, and none counts while
// it is clear. The only hardware evidence is from the next console's sound chip, where reverb
// reads fire only while effects are enabled; writes cannot happen without it.
constexpr bool reverbAccessRaisesIrq(bool /*isWrite*/, bool writesEnabled) { return writesEnabled; }

// The reverb runs only while 1F801DACh bits 3-2 are non-zero: the documentation says a program
// must set that register or the reverb stays off, without saying which bits matter. The bits
// are those that let the capture rings run (the console's sound library writes 0004h); with
// them clear the unit neither ticks nor touches sound RAM, and its output is silence.
constexpr bool kReverbNeedsTransferMode = true;

}  // namespace open_readings
