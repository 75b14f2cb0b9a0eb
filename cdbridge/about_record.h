#pragma once
// The record CD_About hands to the host: a 4-byte header the host reads and three NUL-padded
// text fields.
#include <cstdint>

struct AboutRecord {
    uint8_t header[4];
    char author[64];
    char name[64];
    char description[1024];
};
static_assert(sizeof(AboutRecord) == 1156, "the host copies exactly 1156 bytes");

extern const AboutRecord kAboutRecord;
