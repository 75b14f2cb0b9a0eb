#pragma once
// The plug-in's settings. Three live in the current user's registry as REG_DWORD values (the two
// buffer sizes and the timer switch); the wave format of the primary buffer is fixed. There is
// no dialog: SPUconfigure makes sure the key exists and tells the user where to edit it.
#include <cstdint>

class SpuSettings {
public:
    static constexpr int32_t kDefaultSampleRate = 44100;
    static constexpr int32_t kDefaultBytesPerSample = 2;
    static constexpr int32_t kDefaultChannels = 2;
    static constexpr int32_t kDefaultSoundBufferSize = 8;     // KiB of streaming buffer
    static constexpr int32_t kDefaultXaBufferSize = 32;       // KiB of CD audio ring
    static constexpr int32_t kDefaultHighResolutionMode = 0;  // 1: 1 ms timer resolution
    // Buffer sizes in KiB the plug-in accepts from the registry. 0 would give buffers that
    // cannot hold a frame; past 1 MiB the byte counts head for 32-bit overflow.
    static constexpr int32_t kMinBufferKiB = 1;
    static constexpr int32_t kMaxBufferKiB = 1024;
    // The smallest streaming buffer a pass can always serve, at the default timer resolution
    // and with "HighResolutionMode" 1 (see load()).
    static constexpr int32_t kMinSoundBufferKiB = 8;
    static constexpr int32_t kMinSoundBufferKiBHighResolution = 2;
    // The smallest CD audio ring used: two of the largest blocks a host sends (see load()).
    static constexpr int32_t kMinXaBufferKiB = 74;

    SpuSettings();
    virtual ~SpuSettings() = default;
    SpuSettings(const SpuSettings&) = delete;
    SpuSettings& operator=(const SpuSettings&) = delete;

    // Opens or creates the key, writes the defaults into a new key, reads the three values.
    void load();
    // Writes the three stored values; only load() calls it, for a key it has just created.
    void save();

    int32_t getSampleRate() const { return sampleRate; }
    int32_t getBytesPerSample() const { return bytesPerSample; }
    int32_t getChannels() const { return channels; }
    int32_t getSoundBufferSize() const { return soundBufferSize; }
    int32_t getXaBufferSize() const { return xaBufferSize; }
    int32_t getHighResolutionMode() const { return highResolutionMode; }

    // "Edit Registry.", an empty line, then the full key path in double quotes; no final newline.
    static const char* configureText();
    // The key below HKEY_CURRENT_USER that holds the three values.
    static const char* registryKeyPath();

private:
    void setDefaults();

    // 0 from library load until the first load(); SPUinit loads before anything reads them.
    int32_t sampleRate = 0;
    int32_t bytesPerSample = 0;
    int32_t channels = 0;
    int32_t soundBufferSize = 0;
    int32_t xaBufferSize = 0;
    int32_t highResolutionMode = 0;

    // Never used for registry access: the wave format is fixed (see load()).
    [[maybe_unused]] const char* sampleRateName;
    [[maybe_unused]] const char* bytesPerSampleName;
    [[maybe_unused]] const char* channelsName;
    const char* soundBufferSizeName;
    const char* xaBufferSizeName;
    const char* highResolutionModeName;
    const char* keyPath;  // under HKEY_CURRENT_USER
};

// The library's one settings object, constructed at load time.
SpuSettings& spuSettings();
