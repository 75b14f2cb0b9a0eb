#include "spu_settings.h"

#include "platform/win32.h"
#include "plugin_identity.h"

namespace {

constexpr char kKeyPath[] = "Software\\Vision Thing\\PSEmu Pro\\SPU\\" SPU_PLUGIN_FILE_NAME;
constexpr char kConfigureText[] =
    "Edit Registry.\n\n\"HKEY_CURRENT_USER\\Software\\Vision Thing\\PSEmu Pro\\SPU\\" SPU_PLUGIN_FILE_NAME
    "\"";

// One REG_DWORD value. Anything else (missing, unreadable, another type even of 4 bytes such
// as REG_BINARY, or a length other than 4) leaves the fallback: the registry is edited by hand,
// so a value of the wrong kind must not turn into garbage buffer sizes.
int32_t readDword(HKEY key, const char* name, int32_t fallback) {
    DWORD type = REG_NONE;
    DWORD data = 0;
    DWORD size = sizeof(data);
    LONG result = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&data),
                                   &size);
    if (result != ERROR_SUCCESS || type != REG_DWORD || size != sizeof(data)) return fallback;
    return static_cast<int32_t>(data);
}

void writeDword(HKEY key, const char* name, int32_t value) {
    DWORD data = static_cast<DWORD>(value);
    RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof(data));
}

int32_t bufferKiBOrDefault(int32_t value, int32_t fallback) {
    if (value < SpuSettings::kMinBufferKiB || value > SpuSettings::kMaxBufferKiB) return fallback;
    return value;
}

// The streaming pass only learns the play cursor's progress modulo the buffer length, so the
// buffer must outlast the longest gap between two passes. At the default timer resolution
// Sleep(1) lasts a scheduler tick, about 15.6 ms (2756 bytes of playback), sometimes two:
// 8 KiB covers that. With the resolution raised to 1 ms a pass comes about every millisecond
// and 2 KiB (11 ms) leaves room for a late one. A smaller stored value counts as the floor.
int32_t soundBufferKiBWithFloor(int32_t value, int32_t highResolutionMode) {
    const int32_t floor = highResolutionMode == 1 ? SpuSettings::kMinSoundBufferKiBHighResolution
                                                  : SpuSettings::kMinSoundBufferKiB;
    return value < floor ? floor : value;
}

}  // namespace

SpuSettings::SpuSettings()
    : sampleRateName("WaveFormatSampleRate"),
      bytesPerSampleName("WaveFormatBytesPerSample"),
      channelsName("WaveFormatChannels"),
      soundBufferSizeName("SoundBufferSize"),
      xaBufferSizeName("XABufferSize"),
      highResolutionModeName("HighResolutionMode"),
      keyPath(kKeyPath) {}

void SpuSettings::setDefaults() {
    sampleRate = kDefaultSampleRate;
    bytesPerSample = kDefaultBytesPerSample;
    channels = kDefaultChannels;
    soundBufferSize = kDefaultSoundBufferSize;
    xaBufferSize = kDefaultXaBufferSize;
    highResolutionMode = kDefaultHighResolutionMode;
}

void SpuSettings::load() {
    HKEY key = nullptr;
    DWORD disposition = 0;
    LONG opened = RegCreateKeyExA(HKEY_CURRENT_USER, keyPath, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                  KEY_ALL_ACCESS, nullptr, &key, &disposition);
    if (opened != ERROR_SUCCESS) {
        // No key to read: run on the defaults rather than on whatever an earlier load left.
        setDefaults();
        return;
    }
    if (disposition == REG_CREATED_NEW_KEY) {
        setDefaults();
        save();
    }
    // The primary buffer's format is not the user's to choose: the streaming buffer is always
    // 44100 Hz 16-bit stereo and the primary must match it.
    sampleRate = kDefaultSampleRate;
    bytesPerSample = kDefaultBytesPerSample;
    channels = kDefaultChannels;

    soundBufferSize = bufferKiBOrDefault(
        readDword(key, soundBufferSizeName, kDefaultSoundBufferSize), kDefaultSoundBufferSize);
    xaBufferSize = bufferKiBOrDefault(readDword(key, xaBufferSizeName, kDefaultXaBufferSize),
                                      kDefaultXaBufferSize);
    highResolutionMode = readDword(key, highResolutionModeName, kDefaultHighResolutionMode);
    soundBufferSize = soundBufferKiBWithFloor(soundBufferSize, highResolutionMode);
    RegCloseKey(key);
}

void SpuSettings::save() {
    HKEY key = nullptr;
    DWORD disposition = 0;
    LONG opened = RegCreateKeyExA(HKEY_CURRENT_USER, keyPath, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                  KEY_ALL_ACCESS, nullptr, &key, &disposition);
    if (opened != ERROR_SUCCESS) return;
    writeDword(key, soundBufferSizeName, soundBufferSize);
    writeDword(key, xaBufferSizeName, xaBufferSize);
    writeDword(key, highResolutionModeName, highResolutionMode);
    RegCloseKey(key);
}

const char* SpuSettings::configureText() { return kConfigureText; }

const char* SpuSettings::registryKeyPath() { return kKeyPath; }

// Constructed when the library is loaded and destroyed when it is unloaded; it only holds the
// names until SPUinit or SPUconfigure loads it.
static SpuSettings settingsInstance;

SpuSettings& spuSettings() { return settingsInstance; }
