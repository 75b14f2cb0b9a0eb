#pragma once
#include <cstdint>

class MixAccumulator;

// The block of decoded CD (XA) audio that the host hands to SPUplayADPCMchannel. A wire record:
// the offsets are fixed and the freeze record embeds one at its end.
struct XaDecodeRecord {
    static constexpr int32_t kMaxSamples = 16896;  // room in the record (and in the freeze area)

    int32_t frequency;         // Hz
    int32_t bits;              // sample width of the CD source; only compared with 16
    int32_t stereo;            // 0 mono, 1 stereo
    int32_t sampleCount;       // source frames (a quarter of that with bits 16 and stereo 1)
    int32_t history[4];        // the host's ADPCM decoder state, unused here
    int16_t pcm[kMaxSamples];  // mono samples, or left/right pairs
};
static_assert(sizeof(XaDecodeRecord) == 33824, "XaDecodeRecord is a wire record");

// Resamples the host's CD audio blocks to 44100 Hz by zero-order hold into a ring of 16-bit
// samples and mixes one frame per output frame at the CD volume. The ring decouples the host's
// bursts of blocks from the steady drain of the streaming thread.
class CdAudioStream {
  public:
    static constexpr int32_t kOutputRate = 44100;  // Hz
    static constexpr int32_t kFullVolume = 0x7FFF;

    // The ring holds xaBufferSizeKiB * 512 samples (xaBufferSizeKiB KiB), allocated once here.
    // 0, a negative size, or a failed allocation give a stream that does nothing.
    explicit CdAudioStream(int32_t xaBufferSizeKiB);
    virtual ~CdAudioStream();
    CdAudioStream(const CdAudioStream&) = delete;
    CdAudioStream& operator=(const CdAudioStream&) = delete;

    // The CD volume registers: bit 15 set gives 0x7FFF minus the low 15 bits (-k gives k - 1).
    static int32_t decodeCdVolume(uint32_t raw);
    void setLeftVolume(uint32_t raw);
    void setRightVolume(uint32_t raw);

    // Resamples one block into the ring until the block ends or the ring is full. A block that
    // names a channel layout other than mono or stereo, a negative rate, or more samples than
    // an XaDecodeRecord holds is ignored as a whole, so nothing past the record is ever read.
    void feed(const XaDecodeRecord* record);
    // CD-DA: `frameCount` frames of 44100 Hz 16-bit stereo (left, right, ...), copied one for
    // one, as a 44100 Hz stereo block would be, until they end or the ring is full. A null
    // pointer or a count of 0 or less feeds nothing.
    void feedStereoFrames(const int16_t* frames, int32_t frameCount);
    // One frame out of the ring into the mix (nothing when the ring is empty); never reverb.
    void mixInto(MixAccumulator& mix);
    // Up to `frames` frames out of the ring, frame i added to sumLeft[i] and sumRight[i]
    // narrowed to 16 bits, as mixInto would for each; returns how many the ring held.
    int32_t mixSpan(int32_t* sumLeft, int32_t* sumRight, int32_t frames);
    // One frame out of the ring as fed, before any volume (a chip that captures CD audio ahead
    // of its own CD volume needs the raw samples). Returns false, popping nothing, when empty.
    bool popFrame(int16_t& left, int16_t& right);
    // The frame popFrame would give, left in the ring (for a reader that interpolates between
    // neighbouring frames; spuTarn's own mixing never peeks). Returns false when empty.
    bool peekFrame(int16_t& left, int16_t& right) const;

    bool isUsable() const { return ring != nullptr && capacity >= 2; }
    int32_t getCapacity() const { return capacity; }
    int32_t getWriteIndex() const { return writeIndex; }
    int32_t getReadIndex() const { return readIndex; }
    int32_t getVolumeLeft() const { return volumeLeft; }
    int32_t getVolumeRight() const { return volumeRight; }
    int32_t framesHeld() const;
    int16_t slot(int32_t index) const {
        return (isUsable() && index >= 0 && index < capacity) ? ring[index] : 0;
    }
    void setIndicesForTest(int32_t write, int32_t read) {
        writeIndex = write;
        readIndex = read;
    }

  private:
    bool isFull() const { return advance(writeIndex) == readIndex; }
    bool isEmpty() const { return readIndex == writeIndex; }
    int32_t advance(int32_t index) const { return (index + 2) % capacity; }  // one frame on

    int32_t volumeLeft = 0;  // 0..0x7FFF, 0x7FFF = full
    int32_t volumeRight = 0;
    int32_t capacity = 0;     // in 16-bit samples, even
    int16_t* ring = nullptr;  // owned
    int32_t writeIndex = 0;   // even, below capacity
    int32_t readIndex = 0;    // even, below capacity
};
