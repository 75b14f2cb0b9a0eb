// Brute-force ADPCM encoder: for each block, every filter and shift is tried against the
// decoder's exact arithmetic and the pair with the smallest squared error wins. The history
// it carries on is the one the decoder will have, so errors never accumulate across blocks.
#include "adpcm_encoder.h"

#include "fixed_point.h"
#include "voice.h"

namespace {

constexpr uint8_t kFlagNone = 0;
constexpr uint8_t kFlagEnd = 1;
constexpr uint8_t kFlagLoopJump = 3;
constexpr uint8_t kFlagLoopMark = 6;
constexpr int kShiftCount = 16;
constexpr int32_t kNibbleScale = 4096;
constexpr int kPredictorShift = 6;

struct History {
    int32_t h1 = 0;
    int32_t h2 = 0;
};

struct BlockTrial {
    uint8_t bytes[kAdpcmBlockBytes] = {};
    History end;
    int64_t error = 0;
};

// The decoder's sample for nibble n (-8..7) on top of a prediction already shifted by 6.
inline int32_t decoded(int32_t nibble, int shift, int32_t prediction) {
    return wrappingAdd32(shiftRightArithmetic(nibble * kNibbleScale, shift), prediction);
}

BlockTrial tryBlock(const int16_t* target, History history, int filter, int shift) {
    BlockTrial trial;
    trial.bytes[0] = static_cast<uint8_t>((filter << 4) | shift);
    const int32_t f0 = AdpcmFilterTable[filter].f0;
    const int32_t f1 = AdpcmFilterTable[filter].f1;
    for (size_t i = 0; i < kAdpcmBlockSamples; ++i) {
        const int32_t prediction = shiftRightArithmetic(
            wrappingAdd32(wrappingMul32(history.h1, f0), wrappingMul32(history.h2, f1)),
            kPredictorShift);
        int32_t bestNibble = 0;
        int64_t bestError = -1;
        int32_t bestSample = 0;
        for (int32_t nibble = -8; nibble <= 7; ++nibble) {
            const int32_t sample = decoded(nibble, shift, prediction);
            const int64_t diff = static_cast<int64_t>(target[i]) - sample;
            const int64_t error = diff * diff;
            if (bestError < 0 || error < bestError) {
                bestError = error;
                bestNibble = nibble;
                bestSample = sample;
            }
        }
        trial.error += bestError;
        history.h2 = history.h1;
        history.h1 = bestSample;
        const uint8_t bits = static_cast<uint8_t>(bestNibble & 0x0F);
        trial.bytes[2 + i / 2] |= (i & 1) == 0 ? bits : static_cast<uint8_t>(bits << 4);
    }
    trial.end = history;
    return trial;
}

}  // namespace

std::vector<uint8_t> encodeAdpcm(const int16_t* pcm, size_t count, AdpcmLoop loop) {
    if (pcm == nullptr || count == 0) {
        std::vector<uint8_t> silent(kAdpcmBlockBytes, 0);
        silent[1] = kFlagEnd;
        return silent;
    }

    // Whole blocks, zero-padded; a one-block loop is repeated so that the first block can
    // carry the mark and the second the jump.
    size_t blocks = (count + kAdpcmBlockSamples - 1) / kAdpcmBlockSamples;
    const bool repeatSingle = loop == AdpcmLoop::Loop && blocks == 1;
    if (repeatSingle) blocks = 2;
    std::vector<int16_t> source(blocks * kAdpcmBlockSamples, 0);
    for (size_t i = 0; i < count; ++i) source[i] = pcm[i];
    if (repeatSingle) {
        for (size_t i = 0; i < kAdpcmBlockSamples; ++i) source[kAdpcmBlockSamples + i] = source[i];
    }

    std::vector<uint8_t> out(blocks * kAdpcmBlockBytes, 0);
    History history;
    for (size_t b = 0; b < blocks; ++b) {
        const int16_t* target = &source[b * kAdpcmBlockSamples];
        BlockTrial best;
        bool haveBest = false;
        // A voice keyed on keeps the predictor history of whatever it played before, and a
        // loop arrives at its mark with the history of the loop's end. The first block is
        // therefore kept to filter 0, which ignores the history and sounds the same each time.
        const int filters = b == 0 ? 1 : kAdpcmFilterCount;
        for (int filter = 0; filter < filters; ++filter) {
            for (int shift = 0; shift < kShiftCount; ++shift) {
                const BlockTrial trial = tryBlock(target, history, filter, shift);
                if (!haveBest || trial.error < best.error) {
                    best = trial;
                    haveBest = true;
                }
            }
        }
        history = best.end;

        uint8_t flags = kFlagNone;
        if (loop == AdpcmLoop::Loop && b == 0) flags = kFlagLoopMark;
        if (b + 1 == blocks) flags = loop == AdpcmLoop::Loop ? kFlagLoopJump : kFlagEnd;
        best.bytes[1] = flags;
        for (size_t i = 0; i < kAdpcmBlockBytes; ++i) out[b * kAdpcmBlockBytes + i] = best.bytes[i];
    }
    return out;
}
