// ADPCM block decoding and the block flags that chain, loop and end a voice's sample data.
#include "adpcm_lanes.h"
#include "voice.h"

// Weights in 1/64; the predictor is (history1 * f0 + history2 * f1) >> 6.
const AdpcmFilter AdpcmFilterTable[kAdpcmFilterCount] = {
    {0, 0}, {60, 0}, {115, -52}, {98, -55}, {122, -60},
};

namespace {

// Flag bytes that mean something other than "go on to the next block".
constexpr uint8_t kFlagEnd = 1;
constexpr uint8_t kFlagLoopJump = 3;
constexpr uint8_t kFlagLoopMark = 6;
constexpr uint8_t kFlagEndMuted = 7;
constexpr uint8_t kFlagFirstInvalid = 8;  // 8..255: the voice stops where it is

inline int32_t nextBlock(int32_t address) {
    // Addresses are 16-bit register values: the block after 0xFFFE is block 0.
    return (address + Voice::kBlockUnits) & Voice::kAddressMask;
}

}  // namespace

void Voice::decodeBlock() {
    adpcm::Lane lane;
    adpcm::readBlock(soundRam, blockAddress, lane.block);
    lane.history1 = history1;
    lane.history2 = history2;
    // Entry 0 carries the previous block's last sample so that interpolation glides across
    // the boundary.
    int32_t* samples = window();
    samples[0] = samples[kSamplesPerBlock];
    lane.samples = samples + 1;
    adpcm::decodeLanes(&lane, 1);
    history1 = lane.history1;
    history2 = lane.history2;
}

namespace {

// Where one block's flags lead: the next block address, the loop address, and whether the
// voice stops there. Shared by processBlockFlags and the plan below, so both follow a chain
// the same way.
struct BlockMove {
    int32_t address;
    int32_t loop;
    int32_t stops;
};

inline BlockMove followBlockFlags(uint8_t flags, int32_t address, int32_t loop) {
    if (flags >= kFlagFirstInvalid) {
        // Not a flag combination sample data uses: treat it as corrupt data and stop here.
        return {address, loop, 1};
    }
    switch (flags) {
        case kFlagEnd:
        case kFlagEndMuted:
            return {nextBlock(address), loop, 1};
        case kFlagLoopJump:
            return {loop & Voice::kAddressMask, loop, 0};
        case kFlagLoopMark:
            return {nextBlock(address), address, 0};  // shown in the repeat address register
        default:  // 0, 2, 4, 5
            return {nextBlock(address), loop, 0};
    }
}

}  // namespace

void Voice::processBlockFlags() {
    const uint8_t flags = adpcm::ramByte(soundRam, blockAddress, adpcm::kFlagsByte);
    const BlockMove move = followBlockFlags(flags, blockAddress, loopAddress);
    blockAddress = move.address;
    loopAddress = move.loop;
    if (move.stops != 0) phase = EnvelopePhase::Idle;
}

// The blocks a span of `frames` steps will decode (see voice_decode_plan.cpp): a decode in
// the first step when one is pending and no block ends there, then one in every step whose
// counter has reached the block end: floor((counter + j * pitch) / end) of them up to step j,
// since each step subtracts the block length at most once.
int32_t Voice::planSoundingDecodes(int32_t frames) {
    planCount = 0;
    planNext = 0;
    if (frames <= 0 || pitchCounter < 0) return 0;
    const int64_t lastCounter = pitchCounter + static_cast<int64_t>(frames - 1) * pitch;
    const int64_t crossings = lastCounter / kBlockEnd;
    int32_t address = blockAddress;
    int32_t loop = loopAddress;
    if (needsDecode && pitchCounter < kBlockEnd) {
        plannedAddress[planCount] = address;
        plannedLoop[planCount] = loop;
        plannedContinues[planCount++] = false;  // replaces the window rather than following it
    }
    for (int64_t c = 0; c < crossings && planCount < kMaxPlannedBlocks; ++c) {
        const uint8_t flags = adpcm::ramByte(soundRam, address, adpcm::kFlagsByte);
        const BlockMove move = followBlockFlags(flags, address, loop);
        address = move.address;
        loop = move.loop;
        plannedAddress[planCount] = address;  // decoded even in the step that stops the voice
        plannedLoop[planCount] = loop;
        plannedContinues[planCount++] = move.stops == 0;
        if (move.stops != 0) break;
    }
    return planCount;
}
