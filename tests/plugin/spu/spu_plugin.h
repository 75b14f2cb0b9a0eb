#pragma once
// The sound plug-in as a host sees it: the Linux build loaded with dlopen and every entry point
// resolved by name. Tests drive the plug-in only through these.
#include <cstdint>
#include <string>

#include "cd_audio_stream.h"
#include "freeze_record.h"
#include "sim.h"

struct SpuPlugin {
    void* handle = nullptr;

    unsigned long (*PSEgetLibType)() = nullptr;
    const char* (*PSEgetLibName)() = nullptr;
    unsigned long (*PSEgetLibVersion)() = nullptr;
    long (*SPUconfigure)() = nullptr;
    void (*SPUabout)() = nullptr;
    long (*SPUinit)() = nullptr;
    long (*SPUshutdown)() = nullptr;
    long (*SPUtest)() = nullptr;
    long (*SPUopen)() = nullptr;  // Linux hosts pass no window
    long (*SPUclose)() = nullptr;
    void (*SPUplayADPCMchannel)(XaDecodeRecord*) = nullptr;
    void (*SPUwriteRegister)(uint32_t, uint16_t) = nullptr;
    uint16_t (*SPUreadRegister)(uint32_t) = nullptr;
    void (*SPUregisterCallback)(uintptr_t) = nullptr;
    uint16_t (*SPUgetOne)(uint32_t) = nullptr;
    void (*SPUputOne)(uint32_t, uint32_t) = nullptr;
    void (*SPUplaySample)(uint32_t) = nullptr;
    void (*SPUsetAddr)(uint32_t, uint32_t) = nullptr;
    void (*SPUsetPitch)(uint32_t, uint32_t) = nullptr;
    void (*SPUsetVolumeL)(uint32_t, uint32_t) = nullptr;
    void (*SPUsetVolumeR)(uint32_t, uint32_t) = nullptr;
    void (*SPUstartChannels1)(uint32_t) = nullptr;
    void (*SPUstartChannels2)(uint32_t) = nullptr;
    void (*SPUstopChannels1)(uint32_t) = nullptr;
    void (*SPUstopChannels2)(uint32_t) = nullptr;
    void (*SPUplaySector)() = nullptr;
    void (*SPUwriteDMA)(uint16_t) = nullptr;
    uint16_t (*SPUreadDMA)() = nullptr;
    void (*SPUregisterCDDAVolume)(uintptr_t) = nullptr;
    void (*SPUwriteDMAMem)(uint16_t*, int32_t) = nullptr;
    void (*SPUreadDMAMem)(uint16_t*, int32_t) = nullptr;
    long (*SPUfreeze)(uint32_t, FreezeRecord*) = nullptr;
    // Linux hosts only.
    void (*SPUasync)(uint32_t) = nullptr;
    void (*SPUplayCDDAchannel)(int16_t*, int32_t) = nullptr;

    // Loaded once per process, as a host does; the names that could not be resolved are listed.
    static SpuPlugin& get();
    // Any build of the plug-in at `path`, resolved the same way (not unloaded).
    static SpuPlugin load(const char* path);
    std::string missing;

    // Convenience for tests: a whole word block from a given sound RAM byte address.
    void uploadWords(uint32_t byteAddress, const uint16_t* words, int32_t count);
    void downloadWords(uint32_t byteAddress, uint16_t* words, int32_t count);
};

// Puts the simulation and the registry into a known state: manual cursor, no failures, no
// message boxes, no registry key.
void resetSimulation();

// Moves the manual play cursor and waits until the streaming thread has made the passes that
// see the new position.
void advanceAndSettle(uint32_t bytes);
// Waits until the streaming thread has acted on the cursor where it stands.
void settle();
