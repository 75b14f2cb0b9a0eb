#include "spu_core.h"

#include <cstring>

namespace {

constexpr uint32_t kLastWordMask = 0x7FFFEu;  // even byte addresses inside the 512 KiB

}  // namespace

SpuCore::SpuCore(int32_t xaBufferSizeKiB) : voices(), cdStream(xaBufferSizeKiB) {
    irqAddress = 0;
    transferAddress = kNoTransferAddress;
    for (Voice& v : voices) v.setSoundRam(soundRam);
}

// The data port and DMA always move a whole word at an even address inside sound RAM. Once the
// host has written the transfer address this is the address itself. Before that it still holds
// the "never set" marker 0xFFFFFFFF; masking sends such an access to the last word of sound RAM
// (0x7FFFE), and the step after it wraps to 0, so a host that streams data without setting the
// address first fills sound RAM from its end round to its start and never leaves it.
uint32_t SpuCore::transferByte() const {
    return transferAddress & kLastWordMask;
}

void SpuCore::advanceTransfer() {
    transferAddress = transferByte() + 2;
    if (transferAddress > kSoundRamBytes - 1) transferAddress = 0;
}

void SpuCore::writeDataPort(uint16_t value) {
    const uint32_t at = transferByte();
    soundRam[at] = static_cast<uint8_t>(value & 0xFF);
    soundRam[at + 1] = static_cast<uint8_t>(value >> 8);
    advanceTransfer();
}

uint16_t SpuCore::readDataPort() {
    const uint32_t at = transferByte();
    const uint16_t value = static_cast<uint16_t>(soundRam[at] | (soundRam[at + 1] << 8));
    advanceTransfer();
    return value;
}

void SpuCore::writeBlock(const uint16_t* source, int32_t count) {
    if (source == nullptr) return;  // a host's empty transfer must not become a crash
    for (int32_t i = 0; i < count; ++i) writeDataPort(source[i]);
}

void SpuCore::readBlock(uint16_t* destination, int32_t count) {
    if (destination == nullptr) return;
    for (int32_t i = 0; i < count; ++i) destination[i] = readDataPort();
}

void SpuCore::feedCdAudio(const XaDecodeRecord* record) {
    cdStream.feed(record);
}

void SpuCore::feedCdDigitalAudio(const int16_t* frames, int32_t frameCount) {
    cdStream.feedStereoFrames(frames, frameCount);
}

// Voices in index order, then the CD audio, each over the whole chunk: a voice's state and the
// CD ring advance independently of each other, and the sums are exact integer additions, so
// this gives the frames that frame-by-frame production gives.
void SpuCore::renderChunk(int32_t frames) {
    for (int32_t i = 0; i < frames; ++i) {
        chunkLeft[i] = 0;
        chunkRight[i] = 0;
    }
    // The blocks every voice will decode in this chunk, decoded side by side first. A chunk
    // of a few frames decodes a block here and there: those decode on the spot.
    int32_t rounds = 0;
    for (Voice& v : voices) {
        if (frames < kPlanFromFrames) break;
        const int32_t planned = v.planDecodes(frames);
        if (planned > rounds) rounds = planned;
    }
    for (int32_t round = 0; round < rounds; ++round) {
        adpcm::Lane lanes[kVoiceCount];
        int32_t count = 0;
        for (Voice& v : voices) {
            if (v.plannedBlocks() > round) v.planLane(round, lanes[count++]);
        }
        adpcm::decodeLanes(lanes, count);
    }
    for (Voice& v : voices) v.renderSpan(chunkLeft, chunkRight, frames);
    cdStream.mixSpan(chunkLeft, chunkRight, frames);
}

void SpuCore::produceFrame(int16_t& outLeft, int16_t& outRight) {
    renderChunk(1);
    outLeft = MixAccumulator::clampToOutput(chunkLeft[0]);
    outRight = MixAccumulator::clampToOutput(chunkRight[0]);
}

void SpuCore::produceFrames(uint8_t* out, int32_t frameCount) {
    if (out == nullptr) return;
    int16_t pcm[2 * kChunkFrames];  // little-endian x86: the bytes are already in output order
    for (int32_t done = 0; done < frameCount;) {
        const int32_t frames = frameCount - done < kChunkFrames ? frameCount - done : kChunkFrames;
        renderChunk(frames);
        for (int32_t i = 0; i < frames; ++i) {
            pcm[2 * i] = MixAccumulator::clampToOutput(chunkLeft[i]);
            pcm[2 * i + 1] = MixAccumulator::clampToOutput(chunkRight[i]);
        }
        std::memcpy(out + static_cast<size_t>(done) * 4, pcm, static_cast<size_t>(frames) * 4);
        done += frames;
    }
}
