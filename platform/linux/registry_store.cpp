// Key paths and the key map of the Linux layer's registry.
#include "registry_store.h"

#include <cctype>

namespace linux_platform::detail {

namespace {
std::string fold(const std::string& text) {
    std::string folded = text;
    for (char& c : folded) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return folded;
}
}  // namespace

std::string RegistryStore::normalise(const std::string& path) {
    // Empty components (doubled, leading or trailing backslashes) are dropped: the caller meant
    // the same key, and the store has no use for names that Windows would refuse.
    std::string result;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('\\', start);
        if (end == std::string::npos) end = path.size();
        if (end > start) result = join(result, fold(path.substr(start, end - start)));
        start = end + 1;
    }
    return result;
}

std::string RegistryStore::join(const std::string& parent, const std::string& child) {
    if (parent.empty()) return child;
    if (child.empty()) return parent;
    return parent + '\\' + child;
}

std::string RegistryStore::foldName(const char* name) {
    return name == nullptr ? std::string() : fold(name);
}

bool RegistryStore::exists(const std::string& path) const {
    return path.empty() || keys_.count(path) != 0;
}

bool RegistryStore::create(const std::string& path) {
    if (exists(path)) return false;
    for (size_t at = path.find('\\'); at != std::string::npos; at = path.find('\\', at + 1))
        keys_.emplace(path.substr(0, at), RegistryKey{});
    keys_.emplace(path, RegistryKey{});
    return true;
}

RegistryKey* RegistryStore::find(const std::string& path) {
    if (path.empty()) return &root_;
    auto it = keys_.find(path);
    return it == keys_.end() ? nullptr : &it->second;
}

RegistryStore& registryStore() {
    static RegistryStore* store = new RegistryStore;  // never destroyed: threads may outlive main
    return *store;
}

}  // namespace linux_platform::detail
