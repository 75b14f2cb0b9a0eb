#pragma once
#include <cstdint>

class MixAccumulator;

// The block of decoded CD (XA) audio that the host hands to SPUplayADPCMchannel. A wire record:
// the offsets are fixed and the freeze record embeds one at its end.
struct XaDecodeRecord {
    int32_t frequency;    // Hz
    int32_t bits;         // sample width of the CD source; only compared with 16
    int32_t stereo;       // 0 mono, 1 stereo
    int32_t sampleCount;  // source frames (a quarter of that with bits 16 and stereo 1)
    int32_t history[4];   // the host's ADPCM decoder state, unused here
    int16_t pcm[16896];   // mono samples, or left/right pairs
};
static_assert(sizeof(XaDecodeRecord) == 33824, "XaDecodeRecord is a wire record");

// Resamples the host's CD audio blocks to 44100 Hz by zero-order hold into a ring of 16-bit
// samples and mixes one frame per output frame at the CD volume.
class CdAudioStream {
public:
    // The ring holds xaBufferSizeKiB * 512 samples; 0 gives a ring that does nothing.
    explicit CdAudioStream(int32_t xaBufferSizeKiB);
    virtual ~CdAudioStream();
    CdAudioStream(const CdAudioStream&) = delete;
    CdAudioStream& operator=(const CdAudioStream&) = delete;

    static int32_t decodeCdVolume(uint32_t raw);
    void setLeftVolume(uint32_t raw);
    void setRightVolume(uint32_t raw);

    // Takes at most maxSamples samples of record->pcm into account: a block that would read
    // more than the record holds is ignored as a whole.
    void feed(const XaDecodeRecord* record);
    void mixInto(MixAccumulator& mix);

    int32_t getCapacity() const { return capacity; }
    int32_t getWriteIndex() const { return writeIndex; }
    int32_t getReadIndex() const { return readIndex; }
    int32_t getVolumeLeft() const { return volumeLeft; }
    int32_t getVolumeRight() const { return volumeRight; }
    int32_t framesHeld() const;
    int16_t slot(int32_t index) const { return ring[index]; }
    void setIndicesForTest(int32_t write, int32_t read) { writeIndex = write; readIndex = read; }

private:
    bool isFull() const;
    bool isEmpty() const { return readIndex == writeIndex; }

    int32_t volumeLeft = 0;   // 0..0x7FFF, 0x7FFF = full
    int32_t volumeRight = 0;
    int32_t capacity = 0;     // in 16-bit samples, even
    int16_t* ring = nullptr;  // owned
    int32_t writeIndex = 0;   // even, below capacity
    int32_t readIndex = 0;    // even, below capacity
};
