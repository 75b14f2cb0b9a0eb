#include "spu_plugin.h"

#include <cstring>
#include <string>

namespace spu_wine {

// In the order of their ordinals, 2 to 33.
const ExportEntry kExports[kExportCount] = {
    {"PSEgetLibType", 2},        {"PSEgetLibName", 3},          {"PSEgetLibVersion", 4},
    {"SPUconfigure", 5},         {"SPUabout", 6},               {"SPUinit", 7},
    {"SPUshutdown", 8},          {"SPUtest", 9},                {"SPUopen", 10},
    {"SPUclose", 11},            {"SPUplayADPCMchannel", 12},   {"SPUwriteRegister", 13},
    {"SPUreadRegister", 14},     {"SPUregisterCallback", 15},   {"SPUgetOne", 16},
    {"SPUputOne", 17},           {"SPUplaySample", 18},         {"SPUsetAddr", 19},
    {"SPUsetPitch", 20},         {"SPUsetVolumeL", 21},         {"SPUsetVolumeR", 22},
    {"SPUstartChannels1", 23},   {"SPUstartChannels2", 24},     {"SPUstopChannels1", 25},
    {"SPUstopChannels2", 26},    {"SPUplaySector", 27},         {"SPUwriteDMA", 28},
    {"SPUreadDMA", 29},          {"SPUregisterCDDAVolume", 30}, {"SPUwriteDMAMem", 31},
    {"SPUreadDMAMem", 32},       {"SPUfreeze", 33},
};

const char* dllPath() {
    // The build hands over the Unix path; Wine maps the Unix root to drive Z:.
    static const std::string path = [] {
        std::string p = std::string("Z:") + SPU_DLL_UNIX_PATH;
        for (char& c : p)
            if (c == '/') c = '\\';
        return p;
    }();
    return path.c_str();
}

HMODULE module() {
    static const HMODULE handle = LoadLibraryA(dllPath());
    return handle;
}

namespace {

template <typename Fn>
bool resolve(HMODULE m, const char* name, Fn& out) {
    out = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(m, name)));
    return out != nullptr;
}

const SpuExports* load() {
    static SpuExports table;
    HMODULE m = module();
    if (m == nullptr) return nullptr;
    bool ok = true;
#define SPU_RESOLVE(fn) ok = resolve(m, #fn, table.fn) && ok
    SPU_RESOLVE(PSEgetLibType);
    SPU_RESOLVE(PSEgetLibName);
    SPU_RESOLVE(PSEgetLibVersion);
    SPU_RESOLVE(SPUconfigure);
    SPU_RESOLVE(SPUabout);
    SPU_RESOLVE(SPUinit);
    SPU_RESOLVE(SPUshutdown);
    SPU_RESOLVE(SPUtest);
    SPU_RESOLVE(SPUopen);
    SPU_RESOLVE(SPUclose);
    SPU_RESOLVE(SPUplayADPCMchannel);
    SPU_RESOLVE(SPUwriteRegister);
    SPU_RESOLVE(SPUreadRegister);
    SPU_RESOLVE(SPUregisterCallback);
    SPU_RESOLVE(SPUgetOne);
    SPU_RESOLVE(SPUputOne);
    SPU_RESOLVE(SPUplaySample);
    SPU_RESOLVE(SPUsetAddr);
    SPU_RESOLVE(SPUsetPitch);
    SPU_RESOLVE(SPUsetVolumeL);
    SPU_RESOLVE(SPUsetVolumeR);
    SPU_RESOLVE(SPUstartChannels1);
    SPU_RESOLVE(SPUstartChannels2);
    SPU_RESOLVE(SPUstopChannels1);
    SPU_RESOLVE(SPUstopChannels2);
    SPU_RESOLVE(SPUplaySector);
    SPU_RESOLVE(SPUwriteDMA);
    SPU_RESOLVE(SPUreadDMA);
    SPU_RESOLVE(SPUregisterCDDAVolume);
    SPU_RESOLVE(SPUwriteDMAMem);
    SPU_RESOLVE(SPUreadDMAMem);
    SPU_RESOLVE(SPUfreeze);
#undef SPU_RESOLVE
    return ok ? &table : nullptr;
}

}  // namespace

const SpuExports* exports() {
    static const SpuExports* table = load();
    return table;
}

HWND hostWindow() {
    // DirectSound only needs a top-level window for its cooperative level; it is never shown,
    // so no message loop is needed.
    static const HWND window = CreateWindowExA(0, "STATIC", "spu wine host", WS_OVERLAPPED, 0, 0,
                                               64, 64, nullptr, nullptr, GetModuleHandleA(nullptr),
                                               nullptr);
    return window;
}

bool framesMadeWithin(const SpuExports* spu, DWORD timeoutMs) {
    spu->SPUwriteRegister(reg(0xD9C), 0x0080);
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < timeoutMs) {
        if ((spu->SPUreadRegister(reg(0xD9C)) & 0x0080) == 0) return true;
        Sleep(5);
    }
    return false;
}

}  // namespace spu_wine
