// Host tree, bridge loading and the fake host for the Wine harness.
#include "bridge_dll.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <stdexcept>

namespace bridge_win32 {

namespace {

struct Installed {
    std::string root;
    HMODULE bridge = nullptr;
    BridgeExports exports{};
};

std::string unixToWine(const char* unixPath) {
    return std::string("Z:") + unixPath;
}

template <typename Function>
void bind(HMODULE module, const char* name, Function& target) {
    target = reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
    if (target == nullptr) throw std::runtime_error(std::string("missing export ") + name);
}

Installed& installed() {
    static Installed state = [] {
        Installed result;
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        result.root =
            std::string(temp) + "cdferro-test-" + std::to_string(GetCurrentProcessId()) + "\\";
        CreateDirectoryA(result.root.c_str(), nullptr);
        CreateDirectoryA((result.root + "HOST").c_str(), nullptr);
        CreateDirectoryA((result.root + "HOST\\PLUGIN").c_str(), nullptr);
        CreateDirectoryA((result.root + "HOST\\PLUGIN\\PSEMU").c_str(), nullptr);
        const std::string dll = result.root + "HOST\\PLUGIN\\cdferro.dll";
        if (!CopyFileA(unixToWine(CDFERRO_DLL_UNIX_PATH).c_str(), dll.c_str(), FALSE)) {
            throw std::runtime_error("cannot install cdferro.dll");
        }
        SetEnvironmentVariableA("CDR_FIXTURE_LOG", (result.root + "driver-calls.log").c_str());
        result.bridge = LoadLibraryA(dll.c_str());
        if (result.bridge == nullptr) throw std::runtime_error("cannot load cdferro.dll");
        BridgeExports& e = result.exports;
        bind(result.bridge, "CD_Open", e.CD_Open);
        bind(result.bridge, "CD_Close", e.CD_Close);
        bind(result.bridge, "CD_Read", e.CD_Read);
        bind(result.bridge, "CD_GetTN", e.CD_GetTN);
        bind(result.bridge, "CD_GetTD", e.CD_GetTD);
        bind(result.bridge, "CD_Configure", e.CD_Configure);
        bind(result.bridge, "CD_About", e.CD_About);
        return result;
    }();
    return state;
}

struct FakeHost {
    std::string stored;
    std::vector<std::string> written;
};

FakeHost& fakeHost() {
    static FakeHost host;
    return host;
}

int __cdecl readConfig(const char* section, const char* key, char* value) {
    if (std::strcmp(section, "CDRFERRO") == 0 && std::strcmp(key, "PluginName") == 0 &&
        !fakeHost().stored.empty()) {
        std::memcpy(value, fakeHost().stored.c_str(), fakeHost().stored.size() + 1);
    }
    return 0;
}

int __cdecl writeConfig(const char* section, const char* key, char* value) {
    if (std::strcmp(section, "CDRFERRO") == 0 && std::strcmp(key, "PluginName") == 0) {
        fakeHost().written.push_back(value);
    }
    return 0;
}

}  // namespace

std::string hostDir() {
    return installed().root + "HOST\\";
}
std::string driverDir() {
    return installed().root + "HOST\\PLUGIN\\PSEMU\\";
}
const BridgeExports& bridge() {
    return installed().exports;
}

void clearDrivers() {
    for (const std::string& name : searchOrder()) {
        const std::string path = driverDir() + name;
        if (!DeleteFileA(path.c_str())) RemoveDirectoryA(path.c_str());
    }
}

void installDriver(const std::string& fixture, const std::string& fileName) {
    const std::string source = unixToWine(CDR_FIXTURE_UNIX_DIR) + "/" + fixture + ".dll";
    ASSERT_TRUE(CopyFileA(source.c_str(), (driverDir() + fileName).c_str(), FALSE)) << source;
}

void makeDriverSubdirectory(const std::string& name) {
    CreateDirectoryA((driverDir() + name).c_str(), nullptr);
}

std::vector<std::string> searchOrder() {
    std::vector<std::string> names;
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA((driverDir() + "*.dll").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        names.push_back(entry.cFileName);
    } while (FindNextFileA(search, &entry));
    FindClose(search);
    return names;
}

HostRecord makeHostRecord(HWND parent, HMODULE hostModule) {
    HostRecord record;
    std::memset(record.bytes, 0, sizeof record.bytes);
    using Config = int(__cdecl*)(const char*, const char*, char*);
    const Config read = readConfig;
    const Config write = writeConfig;
    // The host's wire record is 32-bit: four 4-byte fields at 32, 36, 44 and 48. The x86-64 test
    // build keeps the field order with 8-byte pointers: 32, 40, then the 4-byte reserved field at
    // 48 padded to 56, and 56, 64.
    constexpr size_t width = sizeof(void*);
    static_assert(sizeof read == width && sizeof parent == width, "pointer-wide fields");
    constexpr size_t readAt = 32, writeAt = readAt + width;
    constexpr size_t parentAt = width == 4 ? 44 : 56, moduleAt = parentAt + width;
    static_assert(moduleAt + width <= sizeof record.bytes, "record fits");
    std::memcpy(record.bytes + readAt, &read, width);
    std::memcpy(record.bytes + writeAt, &write, width);
    std::memcpy(record.bytes + parentAt, &parent, width);
    std::memcpy(record.bytes + moduleAt, &hostModule, width);
    return record;
}

void setStoredName(const std::string& name) {
    fakeHost().stored = name;
}
std::vector<std::string> writtenNames() {
    return fakeHost().written;
}
void clearConfigCalls() {
    fakeHost().written.clear();
}

std::vector<std::string> driverLog() {
    std::vector<std::string> lines;
    std::ifstream in(installed().root + "driver-calls.log");
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

void clearDriverLog() {
    DeleteFileA((installed().root + "driver-calls.log").c_str());
}

}  // namespace bridge_win32
