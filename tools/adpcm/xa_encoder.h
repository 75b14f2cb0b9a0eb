#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

// CD-ROM XA audio, 4-bit: the sound data of Form 2 audio sectors, 18 sound groups of 128 bytes
// a sector. A group holds 8 sound units of 28 samples; in stereo the even units are the left
// channel and the odd units the right one.
constexpr size_t kXaSectorAudioBytes = 2304;
constexpr size_t kXaMonoSamplesPerSector = 4032;
constexpr size_t kXaStereoFramesPerSector = 2016;

// Encodes `frames` samples (mono) or left/right pairs (stereo, interleaved) into whole
// sectors' sound data, kXaSectorAudioBytes a sector, the last one padded with silence. The
// history carries on from sector to sector, as the decoder keeps it per channel; the first
// unit of each channel uses filter 0, which needs no history.
std::vector<uint8_t> encodeXaAudio(const int16_t* pcm, size_t frames, bool stereo);
