// Decoding ahead for a chunk of frames. Nothing changes a voice's sample data, pitch or loop
// address inside a chunk, so the blocks it will decode there are known before it renders:
// the counter crosses a block end at fixed steps and the flags say where each crossing leads.
// The core decodes the planned blocks of all voices side by side (adpcm::decodeLanes) and
// each voice then takes them in order instead of decoding on the spot. A voice that falls
// silent early (an envelope reaching 0) leaves the rest unused: the plan has its own history
// chain and only blocks actually taken move the voice's history on. The plan itself follows
// the block flags in voice_adpcm.cpp.
#include "adpcm_lanes.h"
#include "voice.h"

void Voice::planLane(int32_t index, adpcm::Lane& lane) {
    adpcm::readBlock(soundRam, plannedAddress[index], lane.block);
    // Block 0 continues the voice's own history, every later one the block planned before it.
    lane.history1 = index == 0 ? history1 : plannedSamples[index - 1][kSamplesPerBlock - 1];
    lane.history2 = index == 0 ? history2 : plannedSamples[index - 1][kSamplesPerBlock - 2];
    lane.samples = plannedSamples[index];
}

bool Voice::takePlannedBlock() {
    if (planNext >= planCount || plannedAddress[planNext] != blockAddress) {
        planCount = 0;  // off the plan: decode on the spot from here on
        return false;
    }
    const int32_t* samples = plannedSamples[planNext++];
    sampleWindow[0] = sampleWindow[kSamplesPerBlock];
    for (int i = 0; i < kSamplesPerBlock; ++i) sampleWindow[i + 1] = samples[i];
    history1 = samples[kSamplesPerBlock - 1];
    history2 = samples[kSamplesPerBlock - 2];
    return true;
}

int32_t Voice::continuingBlocks() const {
    int32_t count = 0;
    while (planNext + count < planCount && plannedContinues[planNext + count]) ++count;
    return count;
}

void Voice::settleCrossedBlocks(int32_t crossed) {
    if (crossed <= 0) return;
    const int32_t last = planNext + crossed - 1;
    blockAddress = plannedAddress[last];
    loopAddress = plannedLoop[last];
    // The window of the last block reached: the sample before it, then its own 28.
    sampleWindow[0] = last == planNext ? sampleWindow[kSamplesPerBlock]
                                       : plannedSamples[last - 1][kSamplesPerBlock - 1];
    for (int i = 0; i < kSamplesPerBlock; ++i) sampleWindow[i + 1] = plannedSamples[last][i];
    history1 = plannedSamples[last][kSamplesPerBlock - 1];
    history2 = plannedSamples[last][kSamplesPerBlock - 2];
    planNext = last + 1;
}
