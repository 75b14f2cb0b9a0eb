// The sound chip's ADPCM blocks: one unit of the shared search (adpcm_unit_search.h) a block,
// with the chip's filters, and the flags that chain, loop or end the blocks.
#include "adpcm_encoder.h"

#include "adpcm_unit_search.h"
#include "voice.h"

namespace {

constexpr uint8_t kFlagNone = 0;
constexpr uint8_t kFlagEnd = 1;
constexpr uint8_t kFlagLoopJump = 3;
constexpr uint8_t kFlagLoopMark = 6;

// The chip's decoder: its five filters, shifts 0..15, no rounding and no clamp in the
// predictor's history.
const AdpcmDecoderRules& chipRules() {
    static const AdpcmDecoderRules rules = [] {
        static AdpcmWeights weights[kAdpcmFilterCount];
        for (int f = 0; f < kAdpcmFilterCount; ++f)
            weights[f] = {AdpcmFilterTable[f].f0, AdpcmFilterTable[f].f1};
        return AdpcmDecoderRules{weights, kAdpcmFilterCount, 16, 0, false};
    }();
    return rules;
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
    AdpcmHistory history;
    for (size_t b = 0; b < blocks; ++b) {
        // A voice keyed on keeps the predictor history of whatever it played before, and a
        // loop arrives at its mark with the history of the loop's end. The first block is
        // therefore kept to filter 0, which ignores the history and sounds the same each time.
        const AdpcmUnit unit = encodeAdpcmUnit(&source[b * kAdpcmBlockSamples], history,
                                               chipRules(), b == 0 ? 1 : kAdpcmFilterCount);
        history = unit.end;

        uint8_t flags = kFlagNone;
        if (loop == AdpcmLoop::Loop && b == 0) flags = kFlagLoopMark;
        if (b + 1 == blocks) flags = loop == AdpcmLoop::Loop ? kFlagLoopJump : kFlagEnd;
        uint8_t* block = &out[b * kAdpcmBlockBytes];
        block[0] = static_cast<uint8_t>((unit.filter << 4) | unit.shift);
        block[1] = flags;
        for (size_t i = 0; i < kAdpcmBlockSamples; ++i)
            block[2 + i / 2] |= (i & 1) == 0 ? unit.nibbles[i] : static_cast<uint8_t>(unit.nibbles[i] << 4);
    }
    return out;
}
