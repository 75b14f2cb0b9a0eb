#pragma once
// The in-process store behind the Linux layer's registry calls: keys by normalised path, values
// by folded name. Paths and names compare without regard to ASCII case, as on Windows. One key,
// the plug-in's settings, is mirrored in a file (registry_file.h).
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "win32_types.h"

namespace linux_platform::detail {

struct RegistryValue {
    DWORD type = 0;
    std::vector<uint8_t> data;
    std::string name;  // spelt as first written; the settings file shows it so
};

struct RegistryKey {
    std::map<std::string, RegistryValue> values;  // by folded name
};

class RegistryStore {
public:
    // Folds case and separators: "Software\\\\A\\" and "software\\a" are the same key.
    static std::string normalise(const std::string& path);
    static std::string join(const std::string& parent, const std::string& child);
    // Value names: null and "" both name the key's default value.
    static std::string foldName(const char* name);

    // The root (empty path) always exists.
    bool exists(const std::string& path) const;
    // Creates the key and every missing key above it; returns whether the key itself was new.
    bool create(const std::string& path);
    RegistryKey* find(const std::string& path);
    // Removes one key and its values (not the root, not the keys below it).
    void erase(const std::string& path) { keys_.erase(path); }
    void clear() {
        keys_.clear();
        root_.values.clear();
    }

    std::mutex mutex;  // guards the store, the write count and the open handles
    int writeCount = 0;
    // What RegCreateKeyExA and RegQueryValueExA return instead of working, ERROR_SUCCESS for
    // nothing: a locked-down or damaged registry, armed only by the test simulation (sim.h).
    LSTATUS createKeyFailure = ERROR_SUCCESS;
    LSTATUS queryValueFailure = ERROR_SUCCESS;

private:
    std::map<std::string, RegistryKey> keys_;  // by normalised path, without the root
    RegistryKey root_;
};

RegistryStore& registryStore();

}  // namespace linux_platform::detail
