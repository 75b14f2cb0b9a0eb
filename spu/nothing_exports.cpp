// The entry points of the interface's older voice-by-voice API. Hosts that still call them get
// the stack cleaned as their declarations expect and nothing else: every sound goes through the
// register file. Four shapes, each exported under all the names that share it.
#include "exports.h"

// Two 32-bit arguments: SPUputOne, SPUsetAddr, SPUsetPitch, SPUsetVolumeL, SPUsetVolumeR.
SPU_EXPORT void CALLBACK SPUputOne(uint32_t, uint32_t) {}
// One 32-bit argument: SPUplaySample, SPUstartChannels1/2, SPUstopChannels1/2.
SPU_EXPORT void CALLBACK SPUplaySample(uint32_t) {}
// One 32-bit argument and a 16-bit result of 0: SPUgetOne.
SPU_EXPORT uint16_t CALLBACK SPUgetOne(uint32_t) { return 0; }
// No argument read: SPUplaySector.
SPU_EXPORT void CALLBACK SPUplaySector() {}

#ifndef _WIN32
// Natively the shared names are ELF aliases of the same four functions; on Windows the .def
// file maps them.
#define SPU_ALIAS(name, target, ...) \
    SPU_EXPORT void CALLBACK name(__VA_ARGS__) __attribute__((alias(#target)))
SPU_ALIAS(SPUsetAddr, SPUputOne, uint32_t, uint32_t);
SPU_ALIAS(SPUsetPitch, SPUputOne, uint32_t, uint32_t);
SPU_ALIAS(SPUsetVolumeL, SPUputOne, uint32_t, uint32_t);
SPU_ALIAS(SPUsetVolumeR, SPUputOne, uint32_t, uint32_t);
SPU_ALIAS(SPUstartChannels1, SPUplaySample, uint32_t);
SPU_ALIAS(SPUstartChannels2, SPUplaySample, uint32_t);
SPU_ALIAS(SPUstopChannels1, SPUplaySample, uint32_t);
SPU_ALIAS(SPUstopChannels2, SPUplaySample, uint32_t);
#endif
