#pragma once
// The record the FPSE host hands to CD_Open and CD_Configure. The host owns it; the bridge reads
// four fields and nothing past byte 52.
#include <cstddef>
#include <cstdint>

#include "platform/win32.h"

#ifdef _WIN32
#define CDFERRO_CDECL __cdecl
#else
#define CDFERRO_CDECL
#endif

// The host's configuration store: NUL-terminated section and key; `value` is filled by
// ReadConfig (the host is told no buffer size) and read by WriteConfig. Results are ignored.
typedef int(CDFERRO_CDECL* HostConfigFunction)(const char* section, const char* key, char* value);

// On 32-bit Windows this is the host's wire layout: every field 4 bytes, little-endian. The
// Linux and x86-64 test builds keep the field order with native pointer widths, so there the
// offsets differ (the host itself is 32-bit only).
struct HostInfoRecord {
    uint8_t reserved0[32];
    HostConfigFunction ReadConfig;   // +32
    HostConfigFunction WriteConfig;  // +36
    uint32_t reserved1;              // +40
    HWND ParentWindow;               // +44: owner of the configuration dialog
    HMODULE HostModule;              // +48: the host's base directory is this module's
};

#if defined(_WIN32) && !defined(_WIN64)
static_assert(offsetof(HostInfoRecord, ReadConfig) == 32, "host record layout");
static_assert(offsetof(HostInfoRecord, WriteConfig) == 36, "host record layout");
static_assert(offsetof(HostInfoRecord, ParentWindow) == 44, "host record layout");
static_assert(offsetof(HostInfoRecord, HostModule) == 48, "host record layout");
static_assert(sizeof(HostInfoRecord) == 52, "host record layout");
#endif

// The one configuration item the bridge keeps through the host: the driver's file name.
constexpr const char* kConfigSection = "CDRFERRO";
constexpr const char* kConfigKey = "PluginName";
