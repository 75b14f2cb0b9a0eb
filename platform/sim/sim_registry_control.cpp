// The registry controls of the simulation (sim.h): the Linux layer's own store and settings
// file, seen and set from a test, with the file kept in a private directory.
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "linux/registry_file.h"
#include "linux/registry_store.h"
#include "linux/win32_registry.h"
#include "sim.h"

using linux_platform::detail::isFileBackedKey;
using linux_platform::detail::loadFileBackedKey;
using linux_platform::detail::RegistryKey;
using linux_platform::detail::RegistryStore;
using linux_platform::detail::RegistryValue;
using linux_platform::detail::saveFileBackedKey;

namespace {

// The sound plug-ins whose settings keys live in files.
constexpr const char* kPluginNames[] = {"spuTarn", "spuTarnExact"};

// Once per process: a fresh XDG_CONFIG_HOME, so that parallel test processes never share a
// settings file and none of them reads or writes the user's own.
void useTemporaryConfigHome() {
    static const bool done = [] {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base != nullptr && base[0] == '/' ? base : "/tmp") +
                              "/spuTarn-config-XXXXXX";
        if (mkdtemp(pattern.data()) == nullptr) {
            std::perror("sim: mkdtemp");
            std::abort();  // without it a test could overwrite the user's settings
        }
        setenv("XDG_CONFIG_HOME", pattern.c_str(), 1);
        static std::string directory = pattern;
        std::atexit([] {
            for (const char* name : kPluginNames) {
                const std::string settings = directory + "/" + name + "/settings";
                std::remove(settings.c_str());
                std::remove((settings + ".tmp").c_str());
                std::remove((directory + "/" + name).c_str());
            }
            std::remove(directory.c_str());
        });
        return true;
    }();
    (void)done;
}

// The store as the plug-in would see it on its next open of a key: the file-backed key read in.
RegistryStore& syncedStore(const std::string& path) {
    RegistryStore& store = linux_platform::detail::registryStore();
    if (isFileBackedKey(path)) loadFileBackedKey(store, path);
    return store;
}

}  // namespace

namespace sim {

void registryReset() {
    useTemporaryConfigHome();
    RegistryStore& store = linux_platform::detail::registryStore();
    std::lock_guard<std::mutex> lock(store.mutex);
    for (const char* name : kPluginNames)
        std::remove(settingsFilePath(std::string("Software\\Vision Thing\\PSEmu Pro\\SPU\\") + name).c_str());
    store.clear();
    store.writeCount = 0;
    store.createKeyFailure = ERROR_SUCCESS;
    store.queryValueFailure = ERROR_SUCCESS;
}

void registryFailOperation(const std::string& operation, LSTATUS status) {
    RegistryStore& store = linux_platform::detail::registryStore();
    std::lock_guard<std::mutex> lock(store.mutex);
    if (operation == "RegCreateKeyExA") {
        store.createKeyFailure = status;
    } else if (operation == "RegQueryValueExA") {
        store.queryValueFailure = status;
    } else {
        std::fprintf(stderr, "registryFailOperation: unknown operation %s\n", operation.c_str());
        std::abort();
    }
}

std::string settingsFilePath(const std::string& keyPath) {
    useTemporaryConfigHome();
    return linux_platform::detail::settingsFilePath(RegistryStore::normalise(keyPath.c_str()));
}

bool registryKeyExists(const std::string& subkey) {
    RegistryStore& store = linux_platform::detail::registryStore();
    std::lock_guard<std::mutex> lock(store.mutex);
    const std::string path = RegistryStore::normalise(subkey);
    return syncedStore(path).exists(path);
}

bool registryGetValue(const std::string& subkey, const std::string& name, DWORD* type,
                      std::vector<uint8_t>* data) {
    RegistryStore& store = linux_platform::detail::registryStore();
    std::lock_guard<std::mutex> lock(store.mutex);
    const std::string path = RegistryStore::normalise(subkey);
    const RegistryKey* key = syncedStore(path).find(path);
    if (key == nullptr) return false;
    auto it = key->values.find(RegistryStore::foldName(name.c_str()));
    if (it == key->values.end()) return false;
    if (type != nullptr) *type = it->second.type;
    if (data != nullptr) *data = it->second.data;
    return true;
}

void registrySetValue(const std::string& subkey, const std::string& name, DWORD type,
                      const std::vector<uint8_t>& data) {
    RegistryStore& store = linux_platform::detail::registryStore();
    std::lock_guard<std::mutex> lock(store.mutex);
    const std::string path = RegistryStore::normalise(subkey);
    syncedStore(path).create(path);
    RegistryValue& value = store.find(path)->values[RegistryStore::foldName(name.c_str())];
    value.type = type;
    value.data = data;
    if (value.name.empty()) value.name = name;
    if (isFileBackedKey(path)) saveFileBackedKey(store, path);
}

void registrySetDword(const std::string& subkey, const std::string& name, DWORD value) {
    // Little-endian, as a REG_DWORD is stored on x86.
    const std::vector<uint8_t> bytes = {
        static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
        static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
    registrySetValue(subkey, name, REG_DWORD, bytes);
}

int registryWriteCount() {
    RegistryStore& store = linux_platform::detail::registryStore();
    std::lock_guard<std::mutex> lock(store.mutex);
    return store.writeCount;
}

}  // namespace sim
