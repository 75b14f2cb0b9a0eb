#pragma once
// The sound plug-in as a host sees it: the real spuTarn.dll loaded with LoadLibraryA and its
// exports resolved by name into typed __stdcall pointers, exactly the widths the hosts declare.
#include <windows.h>

#include <cstdint>

#include "freeze_record.h"

namespace spu_wine {

// Register addresses as the host passes them: the console's SPU block, whose low 12 bits name
// the register.
constexpr uint32_t kSpuBase = 0x1F801000;
constexpr uint32_t reg(uint32_t offset) { return kSpuBase + offset; }
constexpr uint32_t voiceReg(uint32_t voice, uint32_t sub) { return kSpuBase + 0xC00 + 16 * voice + sub; }

struct SpuExports {
    int32_t(WINAPI* PSEgetLibType)();
    const char*(WINAPI* PSEgetLibName)();
    uint32_t(WINAPI* PSEgetLibVersion)();
    int32_t(WINAPI* SPUconfigure)();
    void(WINAPI* SPUabout)();
    int32_t(WINAPI* SPUinit)();
    int32_t(WINAPI* SPUshutdown)();
    int32_t(WINAPI* SPUtest)();
    int32_t(WINAPI* SPUopen)(HWND window);
    int32_t(WINAPI* SPUclose)();
    void(WINAPI* SPUplayADPCMchannel)(XaDecodeRecord* record);
    void(WINAPI* SPUwriteRegister)(uint32_t address, uint16_t value);
    uint16_t(WINAPI* SPUreadRegister)(uint32_t address);
    void(WINAPI* SPUregisterCallback)(uint32_t callback);
    uint16_t(WINAPI* SPUgetOne)(uint32_t value);
    void(WINAPI* SPUputOne)(uint32_t a, uint32_t b);
    void(WINAPI* SPUplaySample)(uint32_t value);
    void(WINAPI* SPUsetAddr)(uint32_t a, uint32_t b);
    void(WINAPI* SPUsetPitch)(uint32_t a, uint32_t b);
    void(WINAPI* SPUsetVolumeL)(uint32_t a, uint32_t b);
    void(WINAPI* SPUsetVolumeR)(uint32_t a, uint32_t b);
    void(WINAPI* SPUstartChannels1)(uint32_t value);
    void(WINAPI* SPUstartChannels2)(uint32_t value);
    void(WINAPI* SPUstopChannels1)(uint32_t value);
    void(WINAPI* SPUstopChannels2)(uint32_t value);
    void(WINAPI* SPUplaySector)();
    void(WINAPI* SPUwriteDMA)(uint16_t value);
    uint16_t(WINAPI* SPUreadDMA)();
    void(WINAPI* SPUregisterCDDAVolume)(uint32_t callback);
    void(WINAPI* SPUwriteDMAMem)(uint16_t* words, int32_t count);
    void(WINAPI* SPUreadDMAMem)(uint16_t* words, int32_t count);
    int32_t(WINAPI* SPUfreeze)(uint32_t mode, FreezeRecord* record);
};

// One export of the table: its name and the ordinal the .def file gives it.
struct ExportEntry {
    const char* name;
    WORD ordinal;
};
constexpr int kExportCount = 32;
extern const ExportEntry kExports[kExportCount];

// The DLL's Windows path (Z:\...), from the Unix path the build passes in.
const char* dllPath();

// Loads the DLL once per process (a host keeps its plug-in loaded) and resolves every export by
// name; null when loading or any lookup failed.
HMODULE module();
const SpuExports* exports();

// A hidden top-level window to give SPUopen, as a host gives its main window.
HWND hostWindow();

// Whether the streaming thread makes frames: a write to the active-flag register marks voice 7
// active until its next output step, which finds it idle and clears the flag; the shadow refresh
// after that pass shows the 0. So the flag reads 0 again exactly when frames were made since the
// write. Waits up to timeoutMs; voice 7 must be idle.
bool framesMadeWithin(const SpuExports* spu, DWORD timeoutMs);

}  // namespace spu_wine
