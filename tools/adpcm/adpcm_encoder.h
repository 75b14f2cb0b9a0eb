#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

// How the encoded chain ends.
enum class AdpcmLoop {
    OneShot,  // the last block carries flag 1: the voice stops after it
    Loop,     // the first block carries flag 6 (loop mark), the last flag 3 (jump to the mark)
};

constexpr size_t kAdpcmBlockBytes = 16;
constexpr size_t kAdpcmBlockSamples = 28;

// Encodes count 16-bit samples into 16-byte ADPCM blocks, ready to be copied into sound RAM
// at a 16-byte boundary. Each block gets the filter (0..4) and shift that give the smallest
// squared error, found by trying every pair against the decoder's own arithmetic (unclamped
// predictor, history carried from block to block). The first block always uses filter 0, so
// that it does not depend on the history a voice or a loop arrives with. The last
// block is padded with zeros. A looping sound that fits in one block is encoded twice, since
// one block cannot carry both the loop mark and the jump. count 0 gives one silent block with
// the end flag, so that a voice keyed on at the result stops at once.
std::vector<uint8_t> encodeAdpcm(const int16_t* pcm, size_t count, AdpcmLoop loop);
