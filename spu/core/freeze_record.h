#pragma once
#include <cstddef>
#include <cstdint>

#include "cd_audio_stream.h"

// The save-state block that the host owns and SPUfreeze fills or reads. A wire record: every
// offset is fixed, all integers little-endian (the plug-in only runs on little-endian x86).
struct FreezeRecord {
    char name[8];            // "TRELK" and a NUL
    uint32_t version;        // 1
    uint32_t size;           // 558640, the whole record
    uint8_t registers[512];  // the register shadow, entry of 0xC00 + 2k at 2k
    uint8_t soundRam[524288];
    XaDecodeRecord cdAudio;  // one block of decoded CD audio, replayed on load
};

enum FreezeMode : uint32_t { FreezeLoad = 0, FreezeSave = 1, FreezeQuery = 2 };

constexpr uint32_t kFreezeVersion = 1;
constexpr uint32_t kFreezeRecordSize = 558640;
constexpr int32_t kFreezeReplayMaxSamples = 4032;  // larger stored counts are not replayed

static_assert(sizeof(FreezeRecord) == kFreezeRecordSize, "FreezeRecord is a wire record");
static_assert(offsetof(FreezeRecord, registers) == 0x10, "registers at 0x10");
static_assert(offsetof(FreezeRecord, soundRam) == 0x210, "sound RAM at 0x210");
static_assert(offsetof(FreezeRecord, cdAudio) == 0x80210, "CD audio block at 0x80210");
static_assert(offsetof(FreezeRecord, cdAudio) + offsetof(XaDecodeRecord, sampleCount) == 0x8021C,
              "sampleCount of the CD audio block at 0x8021C");
static_assert(offsetof(FreezeRecord, cdAudio) + offsetof(XaDecodeRecord, pcm) == 524848,
              "samples of the CD audio block at 524848");
