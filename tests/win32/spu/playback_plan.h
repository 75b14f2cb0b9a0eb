#pragma once
// What the playback run plays and what the recording must then contain. The playback test and
// the analysis of the recording share these numbers; the predicted levels are worked out by hand
// from the voice's output step and the CD mixer, not taken from the plug-in.
#include <cstdint>

namespace spu_wine {
namespace plan {

constexpr int32_t kRate = 44100;

// Voice 0: a 441 Hz sine, 100 samples a period. Seven periods are 700 samples, exactly 25 ADPCM
// blocks of 28, so the loop (mark on block 0, jump on block 24) closes without a seam.
constexpr int32_t kVoicePeriod = 100;
constexpr int32_t kVoiceLoopSamples = 700;
constexpr double kVoiceFrequency = 441.0;
constexpr double kVoiceSourceAmplitude = 16000.0;
constexpr uint32_t kVoiceRamByte = 0x1000;        // 16-byte aligned block start
constexpr uint16_t kVoiceStartAddress = 0x200;    // the same, in 8-byte units
constexpr uint16_t kVoicePitch = 0x1000;          // one source sample per output frame
constexpr uint16_t kVoiceVolumeLeft = 0x2000;     // fixed 8192: multiplier 8192 / 16384 = 1/2
constexpr uint16_t kVoiceVolumeRight = 0x1000;    // fixed 4096: 1/4, so a swap of sides shows
constexpr uint16_t kVoiceAdsr1 = 0x000F;          // attack rate 0, decay rate 0, sustain level 15
#ifndef SPU_PLAYBACK_EXACT
constexpr bool kExactChip = false;
constexpr uint16_t kVoiceAdsr2 = 0x1FDF;          // sustain rate 127 (hold), release rate 31
// Sustain level 15 holds the accumulator at 15 * 0xFFFFF - 1 = 0xEFFFF0, level 0xEFFF.
constexpr uint16_t kVoiceSustainEnvelope = 0xEFFF;
// Output step: ((vol * s) >> 14) * env >> 16 with vol 8192, env 0xEFFF = 61439:
// 16000 * 8192/16384 * 61439/65536 = 7499.9 on the left, half of it (3749.9) on the right.
constexpr double kVoicePredictedLeft = 7499.9;
constexpr double kVoicePredictedRight = 3749.9;
#else
// spuTarnExact, the console's chip: it plays only while SPUCNT enables it (0xC001: on, unmuted,
// CD audio on), at a main volume (fixed 0x3FFF, used as 0x7FFE).
constexpr bool kExactChip = true;
// Sustain rate 127 never steps; release rate 10, linear: -8 << (11 - 10) = -16 a tick, so the
// release from 0x3FFF ends after 1024 ticks (23 ms).
constexpr uint16_t kVoiceAdsr2 = 0x1FCA;
// The fastest attack with sustain level 15 settles at 0x3FFF on a console: the first decay step
// (-0x4000 * 0x7FFF / 0x8000, floored) is taken before the target 0x8000 is checked.
constexpr uint16_t kVoiceSustainEnvelope = 0x3FFF;
// The Gaussian weights add up to 0x7F80 (a 441 Hz sine loses nothing more), then the envelope,
// the fixed volume 0x2000 used as 0x4000 and the main volume 0x7FFE, each as x / 0x8000:
// 16000 * 0.99609 * 0.49997 * 0.5 * 0.99994 = 3983.9 on the left; 0x1000 on the right, half.
constexpr double kVoicePredictedLeft = 3983.9;
constexpr double kVoicePredictedRight = 1991.9;
#endif
constexpr double kVoiceSeconds = 3.5;

// The quiet gap between the two sounds, so that the analysis can tell them apart.
constexpr double kGapSeconds = 0.8;

// CD audio: a stereo 44100 Hz block of 1470 frames, 35 periods of a 42-frame (1050 Hz) sine,
// so that block after block is one continuous wave. Left 20000, right 12000 at the source.
constexpr int32_t kCdPeriod = 42;
constexpr int32_t kCdBlockFrames = 1470;
constexpr double kCdFrequency = 1050.0;
constexpr double kCdSourceLeft = 20000.0;
constexpr double kCdSourceRight = 12000.0;
constexpr uint16_t kCdVolumeLeft = 0x3FFF;   // 16383 / 32768 of full scale
constexpr uint16_t kCdVolumeRight = 0x7FFF;  // 32767 / 32768
// (sample * volume) >> 15: 20000 * 16383/32768 = 9999.4; 12000 * 32767/32768 = 11999.6.
constexpr double kCdPredictedLeft = 9999.4;
constexpr double kCdPredictedRight = 11999.6;
constexpr double kCdSeconds = 2.5;
// The ring holds 32 KiB = 8191 frames; the feeder keeps about three blocks (100 ms) in it, so a
// whole block always fits and none is cut short.
constexpr int32_t kCdTargetFrames = 3 * kCdBlockFrames;

// Allowed deviation of the measured level from the prediction: ADPCM error, the mixer's float
// round trip and the shifts' truncation are all well under it.
constexpr double kLevelTolerance = 0.04;
constexpr double kFrequencyTolerance = 0.005;

}  // namespace plan
}  // namespace spu_wine
