// Decoding ahead for a chunk of frames. Nothing changes a voice's sample data, pitch or loop
// address inside a chunk, so the blocks it will decode there are known before it renders:
// the counter crosses a block end at fixed steps and the flags say where each crossing leads.
// The core decodes the planned blocks of all voices side by side (adpcm::decodeLanes) and
// each voice then takes them in order instead of decoding on the spot. A voice that falls
// silent early (an envelope reaching 0) leaves the rest unused: the plan has its own history
// chain and only blocks actually taken move the voice's history on. The plan itself follows
// the block flags in voice_adpcm.cpp.
#include <cstring>

#include "adpcm_lanes.h"
#include "voice.h"

void Voice::planLane(int32_t index, adpcm::Lane& lane) {
    adpcm::readBlock(soundRam, plannedAddress[index], lane.block);
    // Block 0 continues the voice's own history, every later one the block planned before it.
    lane.history1 = index == 0 ? history1 : plannedSamples(index - 1)[kSamplesPerBlock - 1];
    lane.history2 = index == 0 ? history2 : plannedSamples(index - 1)[kSamplesPerBlock - 2];
    lane.samples = plannedSamples(index);
}

// The window of the block at planNext is already in the stream (see voice.h): taking a block
// moves the window onto it. Entry 0 of that window is the last sample of the block before,
// which is the window just played when the plan is followed in order.
bool Voice::takePlannedBlock() {
    if (planNext >= planCount || plannedAddress[planNext] != blockAddress ||
        windowBase != planNext * kSamplesPerBlock) {
        planCount = 0;  // off the plan: decode on the spot from here on
        return false;
    }
    settleCrossedBlocks(1);
    return true;
}

int32_t Voice::continuingBlocks() const {
    // The blocks must follow the window in the stream, which holds while the plan is taken
    // in order from the window it was made after.
    if (windowBase != planNext * kSamplesPerBlock) return 0;
    int32_t count = 0;
    while (planNext + count < planCount && plannedContinues[planNext + count]) ++count;
    return count;
}

void Voice::settleCrossedBlocks(int32_t crossed) {
    if (crossed <= 0) return;
    const int32_t last = planNext + crossed - 1;
    blockAddress = plannedAddress[last];
    loopAddress = plannedLoop[last];
    windowBase = (last + 1) * kSamplesPerBlock;
    history1 = plannedSamples(last)[kSamplesPerBlock - 1];
    history2 = plannedSamples(last)[kSamplesPerBlock - 2];
    planNext = last + 1;
}

void Voice::rebaseWindow() {
    if (windowBase == 0) return;
    std::memmove(stream, stream + windowBase, sizeof(int32_t) * (kSamplesPerBlock + 1));
    windowBase = 0;
}
