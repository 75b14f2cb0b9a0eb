#include "cd_audio_stream.h"

#include <new>

#include "fixed_point.h"
#include "mix_accumulator.h"

namespace {

// Largest size whose shift by 10 still fits a signed 32-bit capacity computation.
constexpr int32_t kMaxBufferSizeKiB = INT32_MAX >> 10;

constexpr uint32_t kCdVolumeSignBit = 0x8000u;

int32_t ringCapacityFor(int32_t xaBufferSizeKiB) {
    // The settings only hand out 1..1024; anything else (0 from a broken registry value, or a
    // negative number, whose shift would be undefined) gives an empty ring rather than garbage.
    if (xaBufferSizeKiB <= 0 || xaBufferSizeKiB > kMaxBufferSizeKiB) return 0;
    return (xaBufferSizeKiB << 10) / 2;  // bytes to 16-bit samples
}

}  // namespace

CdAudioStream::CdAudioStream(int32_t xaBufferSizeKiB) : capacity(ringCapacityFor(xaBufferSizeKiB)) {
    if (capacity > 0) {
        // Zeroed so that the ring is deterministic; only written slots are ever mixed anyway.
        ring = new (std::nothrow) int16_t[static_cast<uint32_t>(capacity)]();
    }
    if (ring == nullptr) capacity = 0;
}

CdAudioStream::~CdAudioStream() {
    delete[] ring;
}

int32_t CdAudioStream::decodeCdVolume(uint32_t raw) {
    const int32_t magnitude = extractBits(raw, 0, 14);
    if ((raw & kCdVolumeSignBit) != 0) return kFullVolume - magnitude;
    return magnitude;
}

void CdAudioStream::setLeftVolume(uint32_t raw) {
    volumeLeft = decodeCdVolume(raw);
}

void CdAudioStream::setRightVolume(uint32_t raw) {
    volumeRight = decodeCdVolume(raw);
}

int32_t CdAudioStream::framesHeld() const {
    if (!isUsable()) return 0;
    return ((writeIndex - readIndex + capacity) % capacity) / 2;
}

void CdAudioStream::feed(const XaDecodeRecord* record) {
    if (record == nullptr || !isUsable()) return;
    const int32_t stereo = record->stereo;
    if (stereo != 0 && stereo != 1) return;  // would index pcm with a stride we cannot bound
    if (record->frequency < 0) return;       // would walk the source backwards
    int32_t n = record->sampleCount;
    // For 16-bit stereo sources the count is read as bytes of the block, four to a frame.
    if (record->bits == 16 && stereo == 1) n = n / 4;
    if (n <= 0) return;
    if (static_cast<int64_t>(n) * (stereo + 1) > XaDecodeRecord::kMaxSamples) return;

    const int64_t frequency = record->frequency;
    int32_t sourceFrame = 0;
    int64_t positionSum =
        0;  // source position * 44100; 64 bits, so rate 0x7FFFFFFF cannot overflow
    // Zero-order hold: output frame k is source frame floor(k * frequency / 44100). Every block
    // starts afresh at its own first frame. The loop ends at the block's end or a full ring; a
    // rate of 0 therefore repeats the first frame until the ring is full.
    while (!isFull()) {
        const int32_t o = sourceFrame * (stereo + 1);
        ring[writeIndex] = record->pcm[o];
        ring[writeIndex + 1] = record->pcm[o + stereo];
        writeIndex = advance(writeIndex);
        positionSum += frequency;
        const int64_t next = positionSum / kOutputRate;
        if (next >= n) return;
        sourceFrame = static_cast<int32_t>(next);
    }
}

void CdAudioStream::feedStereoFrames(const int16_t* frames, int32_t frameCount) {
    if (frames == nullptr || frameCount <= 0 || !isUsable()) return;
    // The full-ring rule of feed(): the rest of the block is dropped, what is held stays.
    for (int32_t i = 0; i < frameCount && !isFull(); ++i) {
        ring[writeIndex] = frames[2 * i];
        ring[writeIndex + 1] = frames[2 * i + 1];
        writeIndex = advance(writeIndex);
    }
}

void CdAudioStream::mixInto(MixAccumulator& mix) {
    int32_t left = 0;
    int32_t right = 0;
    if (mixSpan(&left, &right, 1) == 1) mix.add(wrapTo16(left), wrapTo16(right), 0);
}

int32_t CdAudioStream::mixSpan(int32_t* sumLeft, int32_t* sumRight, int32_t frames) {
    if (!isUsable() || isEmpty() || frames <= 0) return 0;
    const int32_t count = framesHeld() < frames ? framesHeld() : frames;
    int32_t done = 0;
    while (done < count) {
        // Up to the end of the ring in one stretch; the read index then wraps to 0.
        const int32_t untilWrap = (capacity - readIndex) / 2;
        const int32_t stretch = count - done < untilWrap ? count - done : untilWrap;
        const int16_t* source = ring + readIndex;
        for (int32_t i = 0; i < stretch; ++i) {
            // A 16-bit sample times at most 0x7FFF fits 32 bits; >> 15 brings it back to 16 bits.
            sumLeft[done + i] += wrapTo16(shiftRightArithmetic(source[2 * i] * volumeLeft, 15));
            sumRight[done + i] +=
                wrapTo16(shiftRightArithmetic(source[2 * i + 1] * volumeRight, 15));
        }
        readIndex += 2 * stretch;
        if (readIndex >= capacity) readIndex = 0;
        done += stretch;
    }
    return count;
}

bool CdAudioStream::popFrame(int16_t& left, int16_t& right) {
    if (!peekFrame(left, right)) return false;
    readIndex = advance(readIndex);
    return true;
}

bool CdAudioStream::peekFrame(int16_t& left, int16_t& right) const {
    if (!isUsable() || isEmpty()) return false;
    left = ring[readIndex];
    right = ring[readIndex + 1];
    return true;
}
