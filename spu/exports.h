#pragma once
// The plug-in's entry points as the PSEmu Pro interface declares them: plain C names, the
// interface's CALLBACK convention (__stdcall on Win32), the argument widths of the host.
// spuTarn.def gives them their ordinals 2 to 33.
#include <cstdint>

#include "cd_audio_stream.h"
#include "freeze_record.h"
#include "plugin_state.h"

SPU_EXPORT uint32_t CALLBACK PSEgetLibType();
SPU_EXPORT const char* CALLBACK PSEgetLibName();
SPU_EXPORT uint32_t CALLBACK PSEgetLibVersion();
SPU_EXPORT int32_t CALLBACK SPUconfigure();
SPU_EXPORT void CALLBACK SPUabout();
SPU_EXPORT int32_t CALLBACK SPUinit();
SPU_EXPORT int32_t CALLBACK SPUshutdown();
SPU_EXPORT int32_t CALLBACK SPUtest();
SPU_EXPORT int32_t CALLBACK SPUopen(HWND window);
SPU_EXPORT int32_t CALLBACK SPUclose();
SPU_EXPORT void CALLBACK SPUplayADPCMchannel(XaDecodeRecord* record);
SPU_EXPORT void CALLBACK SPUwriteRegister(uint32_t address, uint16_t value);
SPU_EXPORT uint16_t CALLBACK SPUreadRegister(uint32_t address);
SPU_EXPORT void CALLBACK SPUregisterCallback(uintptr_t callback);
SPU_EXPORT void CALLBACK SPUwriteDMA(uint16_t value);
SPU_EXPORT uint16_t CALLBACK SPUreadDMA();
SPU_EXPORT void CALLBACK SPUregisterCDDAVolume(uintptr_t cddaVolume);
SPU_EXPORT void CALLBACK SPUwriteDMAMem(uint16_t* words, int32_t count);
SPU_EXPORT void CALLBACK SPUreadDMAMem(uint16_t* words, int32_t count);
SPU_EXPORT int32_t CALLBACK SPUfreeze(uint32_t mode, FreezeRecord* record);

// The four shapes of the entry points that do nothing; spuTarn.def (Windows) and aliases
// (natively) export each under all of its names.
SPU_EXPORT void CALLBACK SPUputOne(uint32_t, uint32_t);
SPU_EXPORT void CALLBACK SPUplaySample(uint32_t);
SPU_EXPORT uint16_t CALLBACK SPUgetOne(uint32_t);
SPU_EXPORT void CALLBACK SPUplaySector();
