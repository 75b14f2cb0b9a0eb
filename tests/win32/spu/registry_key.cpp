#include "registry_key.h"

namespace spu_wine {

bool deleteSettingsKey() {
    RegDeleteKeyA(HKEY_CURRENT_USER, kSettingsKey);
    return !settingsKeyExists();
}

bool settingsKeyExists() {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

DwordValue readSettingsValue(const char* name) {
    DwordValue out;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return out;
    BYTE data[16] = {};
    DWORD size = sizeof data;
    DWORD type = 0;
    if (RegQueryValueExA(key, name, nullptr, &type, data, &size) == ERROR_SUCCESS) {
        out.present = true;
        out.type = type;
        out.size = size;
        out.value = static_cast<uint32_t>(data[0] | (data[1] << 8) | (data[2] << 16)) |
                    (static_cast<uint32_t>(data[3]) << 24);
    }
    RegCloseKey(key);
    return out;
}

int countSettingsValues() {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return -1;
    DWORD values = 0;
    LONG rc = RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values,
                               nullptr, nullptr, nullptr, nullptr);
    RegCloseKey(key);
    return rc == ERROR_SUCCESS ? static_cast<int>(values) : -1;
}

bool writeSettingsDword(const char* name, uint32_t value) {
    const DWORD v = value;
    return writeSettingsValue(name, REG_DWORD, &v, sizeof(v));
}

bool writeSettingsValue(const char* name, DWORD type, const void* data, DWORD size) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &key, nullptr) != ERROR_SUCCESS)
        return false;
    LONG rc = RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(key);
    return rc == ERROR_SUCCESS;
}

}  // namespace spu_wine
