#pragma once
// The in-process store behind the stand-in's registry calls: keys by normalised path, values by
// folded name. Paths and names compare without regard to ASCII case, as on Windows, and keep the
// spelling they were created with for nobody in particular (nothing enumerates them).
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "win32_types.h"

namespace standin::detail {

struct RegistryValue {
    DWORD type = 0;
    std::vector<uint8_t> data;
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
    void clear() {
        keys_.clear();
        root_.values.clear();
    }

    std::mutex mutex;  // guards the store, the write count and the open handles
    int writeCount = 0;

private:
    std::map<std::string, RegistryKey> keys_;  // by normalised path, without the root
    RegistryKey root_;
};

RegistryStore& registryStore();

// What registryFailOperation armed for the operation, ERROR_SUCCESS when nothing.
LSTATUS registryInjectedFailure(const char* operation);
void registryClearFailures();

}  // namespace standin::detail
