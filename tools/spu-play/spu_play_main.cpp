// spu-play: a command-line host for the sound plug-in. It loads the plug-in by its exports as
// an emulator does, uploads an ADPCM instrument by DMA, plays the demo phrase on several voices
// and has the simulated device record what the DirectSound buffer played into a WAV file.
//
// The simulation's play cursor is driven by hand, so the plug-in's streaming thread makes exactly
// the frames the script asks for between two groups of register writes: the output does not
// depend on how fast this machine is.
#include <dlfcn.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "phrase_script.h"
#include "sim/sim.h"
#include "wav_file.h"

namespace {

constexpr uint32_t kBytesPerFrame = 4;
constexpr uint32_t kMaxStepFrames = 1024;  // well under the 2048-frame streaming buffer

struct Plugin {
    void* handle = nullptr;
    unsigned long (*PSEgetLibType)() = nullptr;
    const char* (*PSEgetLibName)() = nullptr;
    long (*SPUinit)() = nullptr;
    long (*SPUshutdown)() = nullptr;
    long (*SPUopen)() = nullptr;  // Linux hosts pass no window
    long (*SPUclose)() = nullptr;
    void (*SPUwriteRegister)(uint32_t, uint16_t) = nullptr;
    void (*SPUwriteDMAMem)(uint16_t*, int32_t) = nullptr;
};

template <typename F>
bool resolve(void* handle, F& slot, const char* name) {
    slot = reinterpret_cast<F>(dlsym(handle, name));
    if (slot == nullptr) std::fprintf(stderr, "spu-play: the plug-in lacks %s\n", name);
    return slot != nullptr;
}

bool loadPlugin(const std::string& path, Plugin* p) {
    p->handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (p->handle == nullptr) {
        std::fprintf(stderr, "spu-play: cannot load %s: %s\n", path.c_str(), dlerror());
        return false;
    }
    bool ok = resolve(p->handle, p->PSEgetLibType, "PSEgetLibType");
    ok = resolve(p->handle, p->PSEgetLibName, "PSEgetLibName") && ok;
    ok = resolve(p->handle, p->SPUinit, "SPUinit") && ok;
    ok = resolve(p->handle, p->SPUshutdown, "SPUshutdown") && ok;
    ok = resolve(p->handle, p->SPUopen, "SPUopen") && ok;
    ok = resolve(p->handle, p->SPUclose, "SPUclose") && ok;
    ok = resolve(p->handle, p->SPUwriteRegister, "SPUwriteRegister") && ok;
    ok = resolve(p->handle, p->SPUwriteDMAMem, "SPUwriteDMAMem") && ok;
    return ok;
}

class PluginTarget : public demo::PhraseTarget {
public:
    explicit PluginTarget(const Plugin& p) : plugin(p) {}
    void writeRegister(uint32_t address, uint16_t value) override {
        plugin.SPUwriteRegister(address, value);
    }
    void writeDma(const uint16_t* words, int32_t count) override {
        plugin.SPUwriteDMAMem(const_cast<uint16_t*>(words), count);
    }

private:
    const Plugin& plugin;
};

// Lets the device play `frames` frames and waits until the streaming thread has refilled them.
bool play(uint32_t frames) {
    sim::dsoundAdvancePlayCursor(frames * kBytesPerFrame);
    // Three passes: each asked for the cursor after it moved, and the third shows the first
    // two (a span across the buffer end takes two) have ended.
    return sim::dsoundWaitForPasses(3);
}

void usage() {
    std::fprintf(stderr, "usage: spu-play --out FILE.wav [--plugin PATH/libspuTarn.so]\n");
}

}  // namespace

int main(int argc, char** argv) {
    std::string outPath;
    std::string pluginPath = SPU_PLUGIN_DEFAULT_PATH;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--out" && i + 1 < argc) {
            outPath = argv[++i];
        } else if (arg == "--plugin" && i + 1 < argc) {
            pluginPath = argv[++i];
        } else {
            usage();
            return 2;
        }
    }
    if (outPath.empty()) {
        usage();
        return 2;
    }
    const std::filesystem::path parent = std::filesystem::path(outPath).parent_path();
    std::error_code ignored;
    if (!parent.empty()) std::filesystem::create_directories(parent, ignored);

    Plugin plugin;
    if (!loadPlugin(pluginPath, &plugin)) return 1;
    if (plugin.PSEgetLibType() != 4) {
        std::fprintf(stderr, "spu-play: %s is not a sound plug-in\n", pluginPath.c_str());
        return 1;
    }

    sim::dsoundSetCursorMode(sim::CursorMode::Manual);
    sim::dsoundCaptureToWav(outPath);

    const demo::Phrase phrase = demo::buildDemoPhrase();
    PluginTarget target(plugin);
    plugin.SPUinit();
    plugin.SPUopen();
    if (sim::threadsCreated().empty()) {
        std::fprintf(stderr, "spu-play: the plug-in could not open its output\n");
        plugin.SPUshutdown();
        return 1;
    }

    uint32_t produced = 0;
    size_t next = 0;
    bool inStep = true;
    while (produced < phrase.frames && inStep) {
        while (next < phrase.events.size() && phrase.events[next].frame <= produced)
            demo::applyEvent(phrase.events[next++], target);
        uint32_t until = phrase.frames;
        if (next < phrase.events.size()) until = std::min(until, phrase.events[next].frame);
        const uint32_t step = std::min(until - produced, kMaxStepFrames);
        inStep = play(step);
        produced += step;
    }
    // One more buffer length, so that the device plays the last frames made.
    const uint32_t latencyFrames = sim::dsoundStats().streamBufferBytes / kBytesPerFrame;
    for (uint32_t flushed = 0; flushed < latencyFrames && inStep; flushed += kMaxStepFrames)
        inStep = play(std::min(kMaxStepFrames, latencyFrames - flushed));

    plugin.SPUclose();
    plugin.SPUshutdown();
    sim::dsoundStopCapture();
    if (!inStep) {
        std::fprintf(stderr, "spu-play: the streaming thread stopped answering\n");
        return 1;
    }

    demo::WavData wav;
    if (!demo::readWav(outPath, &wav) || wav.channels != 2) {
        std::fprintf(stderr, "spu-play: no usable WAV at %s\n", outPath.c_str());
        return 1;
    }
    int peak = 0;
    for (int16_t s : wav.samples) peak = std::max(peak, std::abs(static_cast<int>(s)));
    const size_t frames = wav.samples.size() / 2;
    std::printf("spu-play: %s via %s\n", outPath.c_str(), plugin.PSEgetLibName());
    std::printf("  %zu frames (%.2f s) at %u Hz, 16-bit stereo; %u frames of device latency\n",
                frames, static_cast<double>(frames) / wav.sampleRate, wav.sampleRate,
                latencyFrames);
    std::printf("  peak %d (%.1f dBFS)\n", peak,
                peak > 0 ? 20.0 * std::log10(peak / 32767.0) : -999.0);
    return 0;
}
