// Built into spuTarn_probe.dll only: the plug-in's own sources plus this one export, so that the
// streaming soak can ask what the streaming passes did. The DLL that ships has no such export.
#include "plugin_state.h"
#include "sound_device.h"

// Copies the statistics of the open stream; 0 when there is no device (before SPUinit).
extern "C" __declspec(dllexport) int32_t SPUprobeStreamStats(StreamStats* out) {
    plugin::CoreLock lock;
    SoundDevice* device = plugin::state().device;
    if (out == nullptr || device == nullptr) return 0;
    *out = device->streamStats();
    return 1;
}
