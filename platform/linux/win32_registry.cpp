// Registry calls of the Linux layer, with the Windows contract for results and out-params, over
// the in-process store of registry_store; the plug-in's settings key is kept in its file.
#include "win32_registry.h"

#include <cstring>
#include <map>
#include <memory>
#include <string>

#include "registry_file.h"
#include "registry_store.h"

using linux_platform::detail::isFileBackedKey;
using linux_platform::detail::loadFileBackedKey;
using linux_platform::detail::RegistryKey;
using linux_platform::detail::RegistryStore;
using linux_platform::detail::RegistryValue;

namespace {

struct OpenKey {
    std::string path;  // normalised
    REGSAM access = 0;
};

// Open handles, guarded by the store's mutex. A handle is the address of its OpenKey; the map
// tells live handles from closed or foreign ones, so a double close is refused, not a crash.
std::map<HKEY, std::unique_ptr<OpenKey>>& openKeys() {
    static auto* keys = new std::map<HKEY, std::unique_ptr<OpenKey>>;
    return *keys;
}

// Finds what a handle stands for. The key may have gone since it was opened (the tests clear
// the store between cases): ERROR_KEY_DELETED, as Windows reports for a deleted key.
LSTATUS resolve(RegistryStore& store, HKEY key, OpenKey* out) {
    if (key == HKEY_CURRENT_USER) {
        out->path.clear();
        out->access = KEY_ALL_ACCESS;
        return ERROR_SUCCESS;
    }
    auto it = openKeys().find(key);
    if (it == openKeys().end()) return ERROR_INVALID_HANDLE;
    if (!store.exists(it->second->path)) return ERROR_KEY_DELETED;
    *out = *it->second;
    return ERROR_SUCCESS;
}

// The full path of `subKey` below the key a handle stands for, and that key's access.
LSTATUS resolveSubKey(RegistryStore& store, HKEY key, LPCSTR subKey, OpenKey* parent,
                      std::string* path) {
    const LSTATUS status = resolve(store, key, parent);
    if (status != ERROR_SUCCESS) return status;
    *path = RegistryStore::join(parent->path, RegistryStore::normalise(subKey ? subKey : ""));
    return ERROR_SUCCESS;
}

HKEY newHandle(const std::string& path, REGSAM access) {
    auto open = std::make_unique<OpenKey>();
    open->path = path;
    open->access = access;
    HKEY handle = reinterpret_cast<HKEY>(open.get());
    openKeys()[handle] = std::move(open);
    return handle;
}

}  // namespace

LSTATUS WINAPI RegCreateKeyExA(HKEY key, LPCSTR subKey, DWORD, LPSTR, DWORD, REGSAM access,
                               const LPSECURITY_ATTRIBUTES, PHKEY result, LPDWORD disposition) {
    if (result == nullptr) return ERROR_INVALID_PARAMETER;
    RegistryStore& store = linux_platform::detail::registryStore();
    std::lock_guard<std::mutex> lock(store.mutex);
    if (store.createKeyFailure != ERROR_SUCCESS) {
        *result = nullptr;
        return store.createKeyFailure;
    }
    OpenKey parent;
    std::string path;
    const LSTATUS status = resolveSubKey(store, key, subKey, &parent, &path);
    if (status != ERROR_SUCCESS) return status;
    if (isFileBackedKey(path)) loadFileBackedKey(store, path);
    if (!store.exists(path) && (parent.access & KEY_CREATE_SUB_KEY) == 0)
        return ERROR_ACCESS_DENIED;
    const bool created = store.create(path);
    // A new settings key gets its file at once, so the path the plug-in shows exists.
    if (created && isFileBackedKey(path)) linux_platform::detail::saveFileBackedKey(store, path);
    *result = newHandle(path, access);
    if (disposition != nullptr) *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    return ERROR_SUCCESS;
}

LSTATUS WINAPI RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD, REGSAM access, PHKEY result) {
    if (result == nullptr) return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    RegistryStore& store = linux_platform::detail::registryStore();
    std::lock_guard<std::mutex> lock(store.mutex);
    OpenKey parent;
    std::string path;
    const LSTATUS status = resolveSubKey(store, key, subKey, &parent, &path);
    if (status != ERROR_SUCCESS) return status;
    if (isFileBackedKey(path)) loadFileBackedKey(store, path);
    if (!store.exists(path)) return ERROR_FILE_NOT_FOUND;
    *result = newHandle(path, access);
    return ERROR_SUCCESS;
}

LSTATUS WINAPI RegQueryValueExA(HKEY key, LPCSTR valueName, LPDWORD, LPDWORD type, LPBYTE data,
                                LPDWORD dataBytes) {
    if (data != nullptr && dataBytes == nullptr) return ERROR_INVALID_PARAMETER;
    RegistryStore& store = linux_platform::detail::registryStore();
    std::lock_guard<std::mutex> lock(store.mutex);
    if (store.queryValueFailure != ERROR_SUCCESS) return store.queryValueFailure;
    OpenKey open;
    const LSTATUS status = resolve(store, key, &open);
    if (status != ERROR_SUCCESS) return status;
    if ((open.access & KEY_QUERY_VALUE) == 0) return ERROR_ACCESS_DENIED;
    const RegistryKey* found = store.find(open.path);
    auto it = found->values.find(RegistryStore::foldName(valueName));
    if (it == found->values.end()) return ERROR_FILE_NOT_FOUND;
    const RegistryValue& value = it->second;
    const DWORD size = static_cast<DWORD>(value.data.size());
    if (type != nullptr) *type = value.type;
    if (dataBytes == nullptr) return ERROR_SUCCESS;  // existence and type only
    if (data != nullptr) {
        if (*dataBytes < size) {
            *dataBytes = size;
            return ERROR_MORE_DATA;
        }
        if (size != 0) std::memcpy(data, value.data.data(), size);
    }
    *dataBytes = size;
    return ERROR_SUCCESS;
}

LSTATUS WINAPI RegSetValueExA(HKEY key, LPCSTR valueName, DWORD, DWORD type, const BYTE* data,
                              DWORD dataBytes) {
    RegistryStore& store = linux_platform::detail::registryStore();
    std::lock_guard<std::mutex> lock(store.mutex);
    ++store.writeCount;  // every call, so that a test sees also a write that was refused
    if (data == nullptr && dataBytes != 0) return ERROR_INVALID_PARAMETER;
    OpenKey open;
    const LSTATUS status = resolve(store, key, &open);
    if (status != ERROR_SUCCESS) return status;
    if ((open.access & KEY_SET_VALUE) == 0) return ERROR_ACCESS_DENIED;
    RegistryValue& value = store.find(open.path)->values[RegistryStore::foldName(valueName)];
    value.type = type;
    value.data.assign(data, data + dataBytes);
    if (value.name.empty() && valueName != nullptr) value.name = valueName;
    // A file that cannot be written leaves the value in memory for this process: the plug-in
    // runs on, as on Windows with a registry it cannot write.
    if (isFileBackedKey(open.path)) linux_platform::detail::saveFileBackedKey(store, open.path);
    return ERROR_SUCCESS;
}

LSTATUS WINAPI RegCloseKey(HKEY key) {
    if (key == HKEY_CURRENT_USER) return ERROR_SUCCESS;  // predefined keys may be "closed"
    RegistryStore& store = linux_platform::detail::registryStore();
    std::lock_guard<std::mutex> lock(store.mutex);
    return openKeys().erase(key) != 0 ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

std::string RegLinuxFileOfKey(LPCSTR subKey) {
    const std::string path = RegistryStore::normalise(subKey != nullptr ? subKey : "");
    return linux_platform::detail::settingsFilePath(path);
}
