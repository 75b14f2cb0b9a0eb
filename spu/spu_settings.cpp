#include "spu_settings.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "platform/win32.h"
#include "plugin_identity.h"

namespace {

constexpr char kKeyPath[] = "Software\\Vision Thing\\PSEmu Pro\\SPU\\" SPU_PLUGIN_FILE_NAME;
constexpr char kConfigureText[] =
    "Edit Registry.\n\n\"HKEY_CURRENT_USER\\Software\\Vision Thing\\PSEmu Pro\\SPU\\" SPU_PLUGIN_FILE_NAME
    "\"";

// One line on standard error for a stored value the plug-in does not use, saying which and why,
// so that a user who edited the settings learns why an edit did not take.
void reportIgnored(const char* name, const std::string& why, int32_t fallback) {
    std::fprintf(stderr, SPU_PLUGIN_FILE_NAME ": setting \"%s\" ignored: %s; using %d\n", name,
                 why.c_str(), static_cast<int>(fallback));
}

// One REG_DWORD value. Anything else (unreadable, another type even of 4 bytes such as
// REG_BINARY, or a length other than 4) leaves the fallback, and says so: the registry is edited
// by hand, so a value of the wrong kind must not turn into garbage buffer sizes. A missing value
// takes its default without a word, as the settings document.
int32_t readDword(HKEY key, const char* name, int32_t fallback) {
    DWORD type = REG_NONE;
    char data[64] = {};  // room for a short text, to show the user what was not a number
    DWORD size = sizeof(data) - 1;
    LONG result = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(data),
                                   &size);
    if (result == ERROR_FILE_NOT_FOUND) return fallback;
    if (result == ERROR_SUCCESS && type == REG_DWORD && size == 4) {
        uint32_t value = 0;
        std::memcpy(&value, data, sizeof(value));
        return static_cast<int32_t>(value);
    }
    if (result == ERROR_SUCCESS && type == REG_SZ)
        reportIgnored(name, "\"" + std::string(data) + "\" is not a whole number", fallback);
    else if (result == ERROR_SUCCESS || result == ERROR_MORE_DATA)
        reportIgnored(name, "not a 4-byte REG_DWORD (type " + std::to_string(type) + ")",
                      fallback);
    else
        reportIgnored(name, "cannot be read (error " + std::to_string(result) + ")", fallback);
    return fallback;
}

void writeDword(HKEY key, const char* name, int32_t value) {
    DWORD data = static_cast<DWORD>(value);
    RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof(data));
}

int32_t bufferKiBOrDefault(const char* name, int32_t value, int32_t fallback) {
    if (value >= SpuSettings::kMinBufferKiB && value <= SpuSettings::kMaxBufferKiB) return value;
    // Shown as stored: a REG_DWORD is unsigned.
    reportIgnored(name,
                  std::to_string(static_cast<uint32_t>(value)) + " is outside " +
                      std::to_string(SpuSettings::kMinBufferKiB) + ".." +
                      std::to_string(SpuSettings::kMaxBufferKiB),
                  fallback);
    return fallback;
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

// The ring must take a whole block while the one before it still plays, or the full-ring rule
// cuts the end off every block. The largest block a host sends is an XA sector of 4032 mono
// samples at 18900 Hz; the zero-order hold makes ceil(4032 * 44100 / 18900) = 9408 frames of it
// (a 37800 Hz stereo sector of 2016 frames makes 2352, a 18900 Hz stereo or 37800 Hz mono one
// 4704). A ring of k KiB holds k * 256 - 1 frames, and k * 256 - 1 >= 2 * 9408 = 18816 first
// holds at k = 74 (18943 frames, about 430 ms). A smaller stored value counts as that floor.
int32_t xaBufferKiBWithFloor(int32_t value) {
    return value < SpuSettings::kMinXaBufferKiB ? SpuSettings::kMinXaBufferKiB : value;
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
        xaBufferSize = xaBufferKiBWithFloor(xaBufferSize);
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
        soundBufferSizeName, readDword(key, soundBufferSizeName, kDefaultSoundBufferSize),
        kDefaultSoundBufferSize);
    xaBufferSize = xaBufferKiBWithFloor(bufferKiBOrDefault(
        xaBufferSizeName, readDword(key, xaBufferSizeName, kDefaultXaBufferSize),
        kDefaultXaBufferSize));
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
