#pragma once
// The plug-in's entry points as the PSEmu Pro interface declares them: plain C names, the
// interface's CALLBACK convention (__stdcall on Win32), the argument widths of the host.
// spuTarn.def gives them their ordinals 2 to 33. Linux hosts take `long` results, call SPUopen
// without an argument and resolve two more entry points, which the .def does not list.
#include <cstdint>

#include "cd_audio_stream.h"
#include "freeze_record.h"
#include "plugin_state.h"

SPU_EXPORT SpuWord CALLBACK PSEgetLibType();
SPU_EXPORT const char* CALLBACK PSEgetLibName();
SPU_EXPORT SpuWord CALLBACK PSEgetLibVersion();
SPU_EXPORT SpuResult CALLBACK SPUconfigure();
SPU_EXPORT void CALLBACK SPUabout();
SPU_EXPORT SpuResult CALLBACK SPUinit();
SPU_EXPORT SpuResult CALLBACK SPUshutdown();
SPU_EXPORT SpuResult CALLBACK SPUtest();
#ifdef _WIN32
SPU_EXPORT SpuResult CALLBACK SPUopen(HWND window);
#else
SPU_EXPORT SpuResult CALLBACK SPUopen();
#endif
SPU_EXPORT SpuResult CALLBACK SPUclose();
SPU_EXPORT void CALLBACK SPUplayADPCMchannel(XaDecodeRecord* record);
SPU_EXPORT void CALLBACK SPUwriteRegister(uint32_t address, uint16_t value);
SPU_EXPORT uint16_t CALLBACK SPUreadRegister(uint32_t address);
SPU_EXPORT void CALLBACK SPUregisterCallback(uintptr_t callback);
SPU_EXPORT void CALLBACK SPUwriteDMA(uint16_t value);
SPU_EXPORT uint16_t CALLBACK SPUreadDMA();
SPU_EXPORT void CALLBACK SPUregisterCDDAVolume(uintptr_t cddaVolume);
SPU_EXPORT void CALLBACK SPUwriteDMAMem(uint16_t* words, int32_t count);
SPU_EXPORT void CALLBACK SPUreadDMAMem(uint16_t* words, int32_t count);
SPU_EXPORT SpuResult CALLBACK SPUfreeze(uint32_t mode, FreezeRecord* record);

#if !defined(_WIN32) || defined(SPU_CHIP_EXACT)
// Linux hosts, and spuTarnExact's hosts on Windows too. SPUasync: the host's clock, the CPU
// cycles since its last call, about 686 calls a second; spuTarn runs on the audio device's clock
// and ignores them, spuTarnExact follows them (host_clock.h). SPUplayCDDAchannel: CD-DA the host
// reads from an audio track, 44100 Hz 16-bit stereo, `bytes` long.
SPU_EXPORT void CALLBACK SPUasync(uint32_t cycles);
SPU_EXPORT void CALLBACK SPUplayCDDAchannel(int16_t* pcm, int32_t bytes);
#endif

// The four shapes of the entry points that do nothing; spuTarn.def (Windows) and aliases
// (natively) export each under all of its names.
SPU_EXPORT void CALLBACK SPUputOne(uint32_t, uint32_t);
SPU_EXPORT void CALLBACK SPUplaySample(uint32_t);
SPU_EXPORT uint16_t CALLBACK SPUgetOne(uint32_t);
SPU_EXPORT void CALLBACK SPUplaySector();
