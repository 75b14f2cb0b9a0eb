// The settings file behind the plug-in's registry key.
#include "registry_file.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "win32_registry.h"

namespace linux_platform::detail {

namespace {

// The sound plug-ins built here: each keeps its key below this one in a file of its own, in a
// directory named like the key.
constexpr char kSoundKeys[] = "Software\\Vision Thing\\PSEmu Pro\\SPU\\";
constexpr const char* kFileBackedNames[] = {"spuTarn", "spuTarnExact"};
constexpr char kFileName[] = "settings";

// The directory name of a file-backed key, or an empty string for any other key.
std::string fileBackedName(const std::string& normalisedPath) {
    for (const char* name : kFileBackedNames)
        if (normalisedPath == RegistryStore::normalise((std::string(kSoundKeys) + name).c_str()))
            return name;
    return std::string();
}

std::string configHome() {
    // The XDG base directory rule: only an absolute XDG_CONFIG_HOME counts.
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg != nullptr && xdg[0] == '/') return xdg;
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] == '/') return std::string(home) + "/.config";
    // A host started without HOME (from a service manager, say) still has a password entry.
    if (const passwd* entry = getpwuid(getuid()); entry != nullptr && entry->pw_dir != nullptr &&
                                                  entry->pw_dir[0] == '/')
        return std::string(entry->pw_dir) + "/.config";
    return std::string();
}

// Creates each missing directory of `path`; true when it exists at the end.
bool makeDirectories(const std::string& path) {
    for (size_t at = path.find('/', 1); ; at = path.find('/', at + 1)) {
        const std::string prefix = path.substr(0, at);
        if (mkdir(prefix.c_str(), 0700) != 0 && errno != EEXIST) return false;
        if (at == std::string::npos) return true;
    }
}

std::string trim(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) return std::string();
    const size_t last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

// A plain decimal number below 2^32: digits only, no sign, no spaces inside, at most ten digits.
bool parseDword(const std::string& text, DWORD* value) {
    if (text.empty() || text.size() > 10) return false;
    uint64_t result = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        result = result * 10 + static_cast<uint64_t>(c - '0');
    }
    if (result > 0xFFFFFFFFu) return false;
    *value = static_cast<DWORD>(result);
    return true;
}

RegistryValue valueFromText(const std::string& text) {
    RegistryValue value;
    DWORD number = 0;
    if (parseDword(text, &number)) {
        value.type = REG_DWORD;
        // Little-endian, as a REG_DWORD is stored on x86.
        for (int i = 0; i < 4; ++i) value.data.push_back(static_cast<uint8_t>(number >> (8 * i)));
    } else {
        value.type = REG_SZ;
        value.data.assign(text.begin(), text.end());
        value.data.push_back(0);  // a REG_SZ counts its terminator, as RegSetValueExA is given it
    }
    return value;
}

// The line for one value, or an empty string for a value the file does not keep.
std::string lineFor(const std::string& name, const RegistryValue& value) {
    if (value.type == REG_DWORD && value.data.size() == 4) {
        const uint32_t number = static_cast<uint32_t>(value.data[0]) |
                                (static_cast<uint32_t>(value.data[1]) << 8) |
                                (static_cast<uint32_t>(value.data[2]) << 16) |
                                (static_cast<uint32_t>(value.data[3]) << 24);
        return name + "=" + std::to_string(number) + "\n";
    }
    if (value.type == REG_SZ) {
        std::string text(value.data.begin(), value.data.end());
        text = text.substr(0, text.find('\0'));
        if (text.find('\n') != std::string::npos) return std::string();  // would break the file
        return name + "=" + text + "\n";
    }
    return std::string();
}

}  // namespace

bool isFileBackedKey(const std::string& normalisedPath) {
    return !fileBackedName(normalisedPath).empty();
}

std::string settingsFilePath(const std::string& normalisedPath) {
    const std::string home = configHome();
    const std::string name = fileBackedName(normalisedPath);
    if (home.empty() || name.empty()) return std::string();
    return home + "/" + name + "/" + kFileName;
}

void loadFileBackedKey(RegistryStore& store, const std::string& path) {
    const std::string file = settingsFilePath(path);
    if (file.empty()) return;  // no place for a file: the key is an in-memory one
    struct stat status {};
    if (stat(file.c_str(), &status) != 0 && (errno == ENOENT || errno == ENOTDIR)) {
        store.erase(path);  // deleted by the user (or never made): the key is new again
        return;
    }
    // There but unreadable (or not a file): the key exists without values, so the plug-in runs
    // on its defaults and, since the key is not new, writes nothing over the user's file.
    store.create(path);
    RegistryKey* key = store.find(path);
    key->values.clear();
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line)) {
        const std::string content = trim(line);
        if (content.empty() || content[0] == '#') continue;  // blank lines and comments
        const size_t equals = content.find('=');
        if (equals == std::string::npos) continue;  // not a value line: nothing to read
        const std::string name = trim(content.substr(0, equals));
        if (name.empty()) continue;
        // Names compare without case, as on Windows; the file's spelling is kept for writing.
        RegistryValue value = valueFromText(trim(content.substr(equals + 1)));
        value.name = name;
        key->values[RegistryStore::foldName(name.c_str())] = std::move(value);
    }
}

bool saveFileBackedKey(RegistryStore& store, const std::string& path) {
    const std::string file = settingsFilePath(path);
    const RegistryKey* key = store.find(path);
    if (file.empty() || key == nullptr) return false;
    if (!makeDirectories(file.substr(0, file.rfind('/')))) return false;

    std::ostringstream text;
    text << "# " << fileBackedName(path) << " sound plug-in settings: Name=value, whole numbers.\n";
    for (const auto& [name, value] : key->values) text << lineFor(value.name.empty() ? name : value.name, value);

    const std::string temporary = file + ".tmp";
    {
        std::ofstream out(temporary, std::ios::trunc);
        out << text.str();
        if (!out.flush()) {
            std::remove(temporary.c_str());
            return false;
        }
    }
    if (std::rename(temporary.c_str(), file.c_str()) != 0) {
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

}  // namespace linux_platform::detail
