// What the program puts into sound RAM.
//
// The tone: two 16-byte ADPCM blocks, each holding one period of a triangle wave of 28 samples
// (filter 0, so every sample is exactly nibble * 4096 >> shift, whatever came before). The first
// block carries flag 6 (it becomes the loop mark), the second flag 3 (jump back to the mark), so
// a keyed-on voice loops with a period of exactly 28 source samples: pitch p sounds at
// 44100 * p / 4096 / 28 Hz. Peak nibble 7 at shift 1 gives a peak of 7 * 4096 >> 1 = 14336.
#include "sput.h"

uint16_t dataPortImage[UPLOAD_WORDS] __attribute__((aligned(4)));
uint16_t dmaImage[UPLOAD_WORDS] __attribute__((aligned(4)));
uint16_t markerImage[MARKER_WORDS] __attribute__((aligned(4)));

static const int8_t kTriangle[28] = {0,  1,  2,  3,  4,  5,  6,  7,  6,  5,  4,  3,  2,  1,
                                     0,  -1, -2, -3, -4, -5, -6, -7, -6, -5, -4, -3, -2, -1};
enum { kShift = 1, kFilter = 0, kFlagLoopMark = 6, kFlagJumpToMark = 3 };

// One block as 8 little-endian words: header, flags, then 14 bytes of nibble pairs (the earlier
// sample in the low nibble).
static void triangleBlock(uint16_t* words, uint8_t flags) {
    uint8_t bytes[16];
    bytes[0] = (uint8_t)(kShift | (kFilter << 4));
    bytes[1] = flags;
    for (int i = 0; i < 14; ++i) {
        const uint8_t early = (uint8_t)kTriangle[2 * i] & 0xF;
        const uint8_t late = (uint8_t)kTriangle[2 * i + 1] & 0xF;
        bytes[2 + i] = (uint8_t)(early | (late << 4));
    }
    for (int i = 0; i < 8; ++i) words[i] = (uint16_t)(bytes[2 * i] | (bytes[2 * i + 1] << 8));
}

// The tone, then a pattern with no short period, so a word out of place shows up.
static void fillImage(uint16_t* image, uint16_t multiplier, uint16_t offset) {
    triangleBlock(image, kFlagLoopMark);
    triangleBlock(image + 8, kFlagJumpToMark);
    for (int i = 16; i < UPLOAD_WORDS; ++i) image[i] = (uint16_t)(i * multiplier + offset);
}

void buildImages(void) {
    fillImage(dataPortImage, 0x9E37, 0x1234);
    fillImage(dmaImage, 0x7F4B, 0xA5A5);
}

void buildMarker(uint16_t seed) {
    for (int i = 0; i < MARKER_WORDS; ++i) markerImage[i] = (uint16_t)(seed * 0x3C6F + i * 0x0101);
}
