// The settings file behind the plug-in's registry key.
#include "registry_file.h"

#include <fcntl.h>
#include <limits.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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

// One line on standard error for each thing in the file the plug-in cannot use, so that a user
// who edited it learns why a value did not take. The same line is not repeated back to back:
// every value write rewrites the file, and three writes would say the same thing three times.
void report(const std::string& file, const std::string& why) {
    static std::string last;
    // The file's own path names the plug-in (its folder), so the line need not.
    const std::string line = "settings file " + file + ": " + why + "\n";
    if (line == last) return;
    last = line;
    std::fputs(line.c_str(), stderr);
}

// Where writes to `file` go: a symbolic link is followed (the user may keep the file elsewhere
// and link it here), so the link itself is never replaced by a regular file.
std::string followLinks(std::string file) {
    for (int hops = 0; hops < 8; ++hops) {
        struct stat status {};
        if (lstat(file.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) break;
        char target[PATH_MAX];
        const ssize_t length = readlink(file.c_str(), target, sizeof(target) - 1);
        if (length <= 0) break;
        const std::string link(target, static_cast<size_t>(length));
        file = link[0] == '/' ? link : file.substr(0, file.rfind('/') + 1) + link;
    }
    return file;
}

// The whole file, read without blocking: only a regular file is read, since a FIFO or a device
// in its place would make the host wait for ever. False, with the reason in `why`, otherwise.
bool readRegularFile(const std::string& file, std::string* text, std::string* why) {
    const int fd = ::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        *why = std::string("cannot be read (") + std::strerror(errno) + ")";
        return false;
    }
    struct stat status {};
    if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(fd);
        *why = "is not a regular file";
        return false;
    }
    char chunk[4096];
    ssize_t got = 0;
    while ((got = ::read(fd, chunk, sizeof(chunk))) > 0) text->append(chunk, static_cast<size_t>(got));
    const int error = errno;
    ::close(fd);
    if (got < 0) {
        *why = std::string("cannot be read (") + std::strerror(error) + ")";
        return false;
    }
    return true;
}

// Writes `text` to `file` in one piece, by way of a temporary file beside it renamed over it.
bool writeWhole(const std::string& file, const std::string& text, std::string* why) {
    const std::string temporary = file + ".tmp";
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) {
        *why = std::string("cannot be created (") + std::strerror(errno) + ")";
        return false;
    }
    const bool written = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    const int error = errno;
    if (::close(fd) != 0 || !written || std::rename(temporary.c_str(), file.c_str()) != 0) {
        *why = std::string("cannot be written (") + std::strerror(written ? errno : error) + ")";
        std::remove(temporary.c_str());
        return false;
    }
    return true;
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
    std::string text;
    std::string why;
    if (!readRegularFile(file, &text, &why)) {
        report(file, why + "; every value takes its default");
        return;
    }
    // A byte-order mark, as some editors write: not part of the first name.
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);
    std::istringstream in(text);
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        const std::string content = trim(line);
        if (content.empty() || content[0] == '#') continue;  // blank lines and comments
        const size_t equals = content.find('=');
        const std::string name = equals == std::string::npos ? std::string()
                                                             : trim(content.substr(0, equals));
        if (name.empty()) {
            report(file, "line " + std::to_string(number) + " ignored: not Name=value");
            continue;
        }
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
    if (!makeDirectories(file.substr(0, file.rfind('/')))) {
        report(file, std::string("cannot be created (") + std::strerror(errno) + ")");
        return false;
    }

    std::ostringstream text;
    text << "# " << fileBackedName(path) << " sound plug-in settings: Name=value, whole numbers.\n";
    for (const auto& [name, value] : key->values) text << lineFor(value.name.empty() ? name : value.name, value);

    std::string why;
    if (!writeWhole(followLinks(file), text.str(), &why)) {
        report(file, why + "; the values live in memory until the host exits");
        return false;
    }
    return true;
}

}  // namespace linux_platform::detail
