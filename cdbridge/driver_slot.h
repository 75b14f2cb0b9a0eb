#pragma once
// One loaded CD-ROM driver library and the entry points the bridge uses, resolved by name.
// Drivers written for the PSEmu Pro interface export them with the stdcall convention.
#include <cstdint>

#include "platform/win32.h"

typedef int32_t(CALLBACK* CdrInitFunction)(void);
typedef int32_t(CALLBACK* CdrShutdownFunction)(void);
typedef int32_t(CALLBACK* CdrOpenFunction)(void);
typedef int32_t(CALLBACK* CdrCloseFunction)(void);
typedef int32_t(CALLBACK* CdrGetTNFunction)(uint8_t* bcdFirstLast);
typedef int32_t(CALLBACK* CdrGetTDFunction)(int32_t track, uint8_t* bcdTime);
typedef int32_t(CALLBACK* CdrReadTrackFunction)(uint8_t* bcdTime);
typedef uint8_t*(CALLBACK* CdrGetBufferFunction)(void);
typedef int32_t(CALLBACK* CdrConfigureFunction)(void);
typedef int32_t(CALLBACK* CdrTestFunction)(void);
typedef void(CALLBACK* CdrAboutFunction)(void);
typedef char*(CALLBACK* PseGetLibNameFunction)(void);
typedef uint32_t(CALLBACK* PseGetLibTypeFunction)(void);
typedef uint32_t(CALLBACK* PseGetLibVersionFunction)(void);

// PSEgetLibType's value for a CD-ROM driver.
constexpr uint32_t kLibraryTypeCdr = 1;

struct CdrDriver {
    HMODULE handle;
    CdrInitFunction CDRinit;
    CdrShutdownFunction CDRshutdown;
    CdrOpenFunction CDRopen;
    CdrCloseFunction CDRclose;
    CdrGetTNFunction CDRgetTN;
    CdrGetTDFunction CDRgetTD;
    CdrReadTrackFunction CDRreadTrack;
    CdrGetBufferFunction CDRgetBuffer;
    CdrConfigureFunction CDRconfigure;
    CdrTestFunction CDRtest;
    CdrAboutFunction CDRabout;
    PseGetLibNameFunction PSEgetLibName;
    PseGetLibTypeFunction PSEgetLibType;
    PseGetLibVersionFunction PSEgetLibVersion;
};

// Loads the library at `path` into `slot` and resolves the fourteen entry points, each null
// when the library does not export it. Returns 0, or -1 when loading failed (a handle below 32,
// as the loader has always reported errors); the slot then holds no entry points, so nothing
// from an earlier library can be called by mistake.
int32_t LoadCdrDriver(CdrDriver& slot, const char* path);

// Frees the slot's library, if it holds one, and clears the slot.
void UnloadCdrDriver(CdrDriver& slot);
