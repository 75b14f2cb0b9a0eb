// Library loading and directory search of the Linux layer, over dlopen and opendir.
#include "win32_loader.h"

#include <dirent.h>
#include <dlfcn.h>
#include <link.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "loader_records.h"

namespace {

std::mutex& loaderMutex() {
    static std::mutex mutex;
    return mutex;
}

struct LoaderState {
    std::vector<linux_platform::LibraryEvent> events;
    std::map<HMODULE, int> references;  // LoadLibraryA minus FreeLibrary, per module
    std::map<HMODULE, std::string> nameOverrides;
};

LoaderState& state() {
    static LoaderState loader;
    return loader;
}

std::string toUnixPath(const char* path) {
    std::string result(path);
    std::replace(result.begin(), result.end(), '\\', '/');
    return result;
}

std::string toWindowsPath(std::string path) {
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

// The file a module was loaded from, absolute, without resolving symbolic links: a plug-in copied
// or linked into a host tree must see that tree as its directory.
std::string moduleUnixPath(HMODULE module) {
    if (module == nullptr) {
        char buffer[4096];
        const ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
        return length > 0 ? std::string(buffer, static_cast<size_t>(length)) : std::string();
    }
    struct link_map* map = nullptr;
    if (dlinfo(reinterpret_cast<void*>(module), RTLD_DI_LINKMAP, &map) != 0 || map == nullptr) {
        return std::string();
    }
    std::string name = map->l_name != nullptr ? map->l_name : "";
    if (name.empty()) return moduleUnixPath(nullptr);  // the main program's map has no name
    if (name[0] != '/') {
        char cwd[4096];
        if (getcwd(cwd, sizeof cwd) != nullptr) name = std::string(cwd) + "/" + name;
    }
    return name;
}

// Windows file-name matching for the "*" and "?" wildcards, letters without regard to case.
bool wildcardMatch(const char* pattern, const char* name) {
    if (*pattern == '\0') return *name == '\0';
    if (*pattern == '*') {
        for (const char* rest = name;; ++rest) {
            if (wildcardMatch(pattern + 1, rest)) return true;
            if (*rest == '\0') return false;
        }
    }
    if (*name == '\0') return false;
    const auto lower = [](char c) {
        return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    };
    if (*pattern != '?' && lower(*pattern) != lower(*name)) return false;
    return wildcardMatch(pattern + 1, name + 1);
}

struct FindSearch {
    std::vector<std::string> names;
    std::vector<bool> directories;
    size_t next = 0;
};

void fillFindData(const FindSearch& search, size_t index, LPWIN32_FIND_DATAA data) {
    std::memset(data, 0, sizeof *data);
    data->dwFileAttributes =
        search.directories[index] ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL;
    std::strncpy(data->cFileName, search.names[index].c_str(), MAX_PATH - 1);
}

}  // namespace

HMODULE WINAPI LoadLibraryA(LPCSTR fileName) {
    if (fileName == nullptr) return nullptr;
    void* handle = dlopen(toUnixPath(fileName).c_str(), RTLD_NOW | RTLD_LOCAL);
    HMODULE module = reinterpret_cast<HMODULE>(handle);
    std::lock_guard<std::mutex> lock(loaderMutex());
    state().events.push_back({"LoadLibraryA", fileName, module});
    if (module != nullptr) ++state().references[module];
    return module;
}

FARPROC WINAPI GetProcAddress(HMODULE module, LPCSTR procName) {
    if (module == nullptr || procName == nullptr) return nullptr;
    return dlsym(reinterpret_cast<void*>(module), procName);
}

BOOL WINAPI FreeLibrary(HMODULE module) {
    {
        std::lock_guard<std::mutex> lock(loaderMutex());
        state().events.push_back({"FreeLibrary", std::string(), module});
        auto found = state().references.find(module);
        if (found == state().references.end() || found->second == 0) return FALSE;
        if (--found->second == 0) state().references.erase(found);
    }
    return dlclose(reinterpret_cast<void*>(module)) == 0 ? TRUE : FALSE;
}

DWORD WINAPI GetModuleFileNameA(HMODULE module, LPSTR fileName, DWORD size) {
    std::string name;
    {
        std::lock_guard<std::mutex> lock(loaderMutex());
        auto found = state().nameOverrides.find(module);
        if (found != state().nameOverrides.end()) name = found->second;
    }
    if (name.empty()) name = toWindowsPath(moduleUnixPath(module));
    if (fileName == nullptr || size == 0) return 0;
    if (name.size() >= size) {
        std::memcpy(fileName, name.data(), size - 1);
        fileName[size - 1] = '\0';
        return size;
    }
    std::memcpy(fileName, name.c_str(), name.size() + 1);
    return static_cast<DWORD>(name.size());
}

BOOL WINAPI GetModuleHandleExA(DWORD flags, LPCSTR moduleNameOrAddress, HMODULE* module) {
    if (module == nullptr) return FALSE;
    *module = nullptr;
    if ((flags & GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS) == 0) return FALSE;
    Dl_info info;
    struct link_map* map = nullptr;
    if (dladdr1(moduleNameOrAddress, &info, reinterpret_cast<void**>(&map), RTLD_DL_LINKMAP) == 0 ||
        map == nullptr) {
        return FALSE;
    }
    if ((flags & GET_MODULE_HANDLE_EX_FLAG_PIN) != 0) {
        // RTLD_NODELETE on the loaded object: a dlclose that drops the last reference no
        // longer unmaps it. The reference this dlopen takes is given back at once.
        void* pinned = dlopen(info.dli_fname, RTLD_LAZY | RTLD_NOLOAD | RTLD_NODELETE);
        if (pinned == nullptr) return FALSE;
        dlclose(pinned);
    }
    // glibc's dlopen handle is the object's link map, so the map names the module as a later
    // dlopen of the same file would.
    *module = reinterpret_cast<HMODULE>(map);
    return TRUE;
}

HANDLE WINAPI FindFirstFileA(LPCSTR pattern, LPWIN32_FIND_DATAA data) {
    if (pattern == nullptr || data == nullptr) return INVALID_HANDLE_VALUE;
    const std::string unixPattern = toUnixPath(pattern);
    const size_t slash = unixPattern.rfind('/');
    const std::string directory =
        slash == std::string::npos ? std::string(".") : unixPattern.substr(0, slash + 1);
    const std::string filePattern =
        slash == std::string::npos ? unixPattern : unixPattern.substr(slash + 1);

    DIR* dir = opendir(directory.c_str());
    if (dir == nullptr) return INVALID_HANDLE_VALUE;
    std::vector<std::string> names;
    while (const struct dirent* entry = readdir(dir)) {
        if (wildcardMatch(filePattern.c_str(), entry->d_name)) names.push_back(entry->d_name);
    }
    closedir(dir);
    if (names.empty()) return INVALID_HANDLE_VALUE;
    std::sort(names.begin(), names.end());

    auto* search = new FindSearch;
    search->names = names;
    for (const std::string& name : names) {
        struct stat info;
        const bool isDirectory =
            stat((directory + name).c_str(), &info) == 0 && S_ISDIR(info.st_mode);
        search->directories.push_back(isDirectory);
    }
    fillFindData(*search, 0, data);
    search->next = 1;
    return reinterpret_cast<HANDLE>(search);
}

BOOL WINAPI FindNextFileA(HANDLE find, LPWIN32_FIND_DATAA data) {
    if (find == nullptr || find == INVALID_HANDLE_VALUE || data == nullptr) return FALSE;
    auto* search = reinterpret_cast<FindSearch*>(find);
    if (search->next >= search->names.size()) return FALSE;
    fillFindData(*search, search->next, data);
    ++search->next;
    return TRUE;
}

BOOL WINAPI FindClose(HANDLE find) {
    if (find == nullptr || find == INVALID_HANDLE_VALUE) return FALSE;
    delete reinterpret_cast<FindSearch*>(find);
    return TRUE;
}

namespace linux_platform {

std::vector<LibraryEvent> libraryEvents() {
    std::lock_guard<std::mutex> lock(loaderMutex());
    return state().events;
}

void clearLibraryEvents() {
    std::lock_guard<std::mutex> lock(loaderMutex());
    state().events.clear();
}

int librariesHeld() {
    std::lock_guard<std::mutex> lock(loaderMutex());
    int held = 0;
    for (const auto& entry : state().references) held += entry.second;
    return held;
}

void setModuleFileName(HMODULE module, const std::string& windowsName) {
    std::lock_guard<std::mutex> lock(loaderMutex());
    state().nameOverrides[module] = windowsName;
}

void clearModuleFileNames() {
    std::lock_guard<std::mutex> lock(loaderMutex());
    state().nameOverrides.clear();
}

}  // namespace linux_platform
