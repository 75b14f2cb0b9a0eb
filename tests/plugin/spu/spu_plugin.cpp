#include "spu_plugin.h"

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>

namespace {

template <typename F>
void resolve(SpuPlugin& plugin, F& slot, const char* name) {
    slot = reinterpret_cast<F>(dlsym(plugin.handle, name));
    if (slot == nullptr) plugin.missing += std::string(name) + " ";
}

}  // namespace

SpuPlugin SpuPlugin::load(const char* path) {
    SpuPlugin p;
    p.handle = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (p.handle == nullptr) {
        std::fprintf(stderr, "cannot load %s: %s\n", path, dlerror());
        std::abort();
    }
#define RESOLVE(name) resolve(p, p.name, #name)
    RESOLVE(PSEgetLibType);
    RESOLVE(PSEgetLibName);
    RESOLVE(PSEgetLibVersion);
    RESOLVE(SPUconfigure);
    RESOLVE(SPUabout);
    RESOLVE(SPUinit);
    RESOLVE(SPUshutdown);
    RESOLVE(SPUtest);
    RESOLVE(SPUopen);
    RESOLVE(SPUclose);
    RESOLVE(SPUplayADPCMchannel);
    RESOLVE(SPUwriteRegister);
    RESOLVE(SPUreadRegister);
    RESOLVE(SPUregisterCallback);
    RESOLVE(SPUgetOne);
    RESOLVE(SPUputOne);
    RESOLVE(SPUplaySample);
    RESOLVE(SPUsetAddr);
    RESOLVE(SPUsetPitch);
    RESOLVE(SPUsetVolumeL);
    RESOLVE(SPUsetVolumeR);
    RESOLVE(SPUstartChannels1);
    RESOLVE(SPUstartChannels2);
    RESOLVE(SPUstopChannels1);
    RESOLVE(SPUstopChannels2);
    RESOLVE(SPUplaySector);
    RESOLVE(SPUwriteDMA);
    RESOLVE(SPUreadDMA);
    RESOLVE(SPUregisterCDDAVolume);
    RESOLVE(SPUwriteDMAMem);
    RESOLVE(SPUreadDMAMem);
    RESOLVE(SPUfreeze);
    RESOLVE(SPUasync);
    RESOLVE(SPUplayCDDAchannel);
#undef RESOLVE
    return p;
}

SpuPlugin& SpuPlugin::get() {
    static SpuPlugin plugin = load(SPU_PLUGIN_PATH);
    return plugin;
}

void SpuPlugin::uploadWords(uint32_t byteAddress, const uint16_t* words, int32_t count) {
    SPUwriteRegister(0x1F801DA6, static_cast<uint16_t>(byteAddress / 8));
    SPUwriteDMAMem(const_cast<uint16_t*>(words), count);
}

void SpuPlugin::downloadWords(uint32_t byteAddress, uint16_t* words, int32_t count) {
    SPUwriteRegister(0x1F801DA6, static_cast<uint16_t>(byteAddress / 8));
    SPUreadDMAMem(words, count);
}

void resetSimulation() {
    sim::dsoundReset();
    sim::dsoundSetCursorMode(sim::CursorMode::Manual);
    sim::registryReset();
    sim::threadsReset();
    sim::clearMessageBoxes();
}

void advanceAndSettle(uint32_t bytes) {
    sim::dsoundAdvancePlayCursor(bytes);
    settle();
}

void settle() {
    // Every counted pass asked for the cursor after it moved, and a pass has ended once the next
    // one asks. Three: the first may fill only the tail of a span that crosses the buffer end,
    // the second then fills its start, and the third shows that the second is done.
    sim::dsoundWaitForPasses(3);
}
