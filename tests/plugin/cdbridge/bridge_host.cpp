// The host tree, the bridge loaded from it and the fake host's configuration store.
#include "bridge_host.h"

#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>

namespace bridge_test {

namespace {

struct HostState {
    bool hasStoredName = false;
    std::string storedName;
    std::vector<ConfigCall> calls;
};

HostState& host() {
    static HostState state;
    return state;
}

int readConfig(const char* section, const char* key, char* value) {
    std::string answer;
    if (host().hasStoredName) {
        answer = host().storedName;
        std::memcpy(value, answer.c_str(), answer.size() + 1);
    }
    host().calls.push_back({"ReadConfig", section, key, answer});
    return 0;
}

int writeConfig(const char* section, const char* key, char* value) {
    host().calls.push_back({"WriteConfig", section, key, value});
    host().hasStoredName = true;
    host().storedName = value;
    return 0;
}

struct LoadedBridge {
    fs::path root;
    void* handle = nullptr;
    BridgeExports exports{};
};

template <typename Function>
void bind(void* handle, const char* name, Function& target) {
    void* symbol = dlsym(handle, name);
    if (symbol == nullptr) throw std::runtime_error(std::string("missing export ") + name);
    target = reinterpret_cast<Function>(symbol);
}

LoadedBridge& loaded() {
    static LoadedBridge bridge = [] {
        LoadedBridge result;
        char pattern[] = "/tmp/cdbridge-test-XXXXXX";
        result.root = mkdtemp(pattern);
        // Removed at exit from a plain buffer: statics may already be gone by then.
        static char rootForExit[sizeof pattern];
        std::memcpy(rootForExit, pattern, sizeof pattern);
        std::atexit([] {
            std::error_code ignored;
            fs::remove_all(rootForExit, ignored);
        });
        fs::create_directories(result.root / "HOST" / "PLUGIN" / "PSEMU");
        // A copy, not a link: the bridge must see the host tree as its own directory.
        const fs::path copy = result.root / "HOST" / "PLUGIN" / "libcdferro.so";
        fs::copy_file(CDFERRO_LIBRARY, copy);
        result.handle = dlopen(copy.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (result.handle == nullptr) throw std::runtime_error(dlerror());
        BridgeExports& e = result.exports;
        bind(result.handle, "CD_Open", e.CD_Open);
        bind(result.handle, "CD_Close", e.CD_Close);
        bind(result.handle, "CD_Read", e.CD_Read);
        bind(result.handle, "CD_GetTN", e.CD_GetTN);
        bind(result.handle, "CD_GetTD", e.CD_GetTD);
        bind(result.handle, "CD_Play", e.CD_Play);
        bind(result.handle, "CD_Stop", e.CD_Stop);
        bind(result.handle, "CD_Wait", e.CD_Wait);
        bind(result.handle, "CD_GetSeek", e.CD_GetSeek);
        bind(result.handle, "CD_Configure", e.CD_Configure);
        bind(result.handle, "CD_About", e.CD_About);
        return result;
    }();
    return bridge;
}

fs::path logFile() {
    return loaded().root / "driver-calls.log";
}

}  // namespace

void BridgeTest::SetUp() {
    loaded();
    fs::remove_all(driverDir());
    fs::create_directories(driverDir());
    fs::remove(logFile());
    setenv("CDR_FIXTURE_LOG", logFile().c_str(), 1);
    host() = HostState{};
    sim::clearLibraryEvents();
    sim::clearModuleFileNames();
    sim::clearMessageBoxes();
    sim::clearDialogs();
    sim::clearDialogHook();
}

void BridgeTest::TearDown() {
    // No test may leave a driver open for the next one.
    bridge().CD_Close();
    sim::clearDialogHook();
    sim::clearModuleFileNames();
    EXPECT_EQ(sim::librariesHeld(), 0) << "a driver library was left loaded";
}

const BridgeExports& BridgeTest::bridge() {
    return loaded().exports;
}
HMODULE BridgeTest::bridgeModule() {
    return reinterpret_cast<HMODULE>(loaded().handle);
}
fs::path BridgeTest::hostDir() {
    return loaded().root / "HOST";
}
fs::path BridgeTest::driverDir() {
    return hostDir() / "PLUGIN" / "PSEMU";
}

std::string BridgeTest::windowsPath(const fs::path& path) {
    std::string text = path.string();
    std::replace(text.begin(), text.end(), '/', '\\');
    return text;
}

void BridgeTest::installDriver(const std::string& fixture, const std::string& fileName,
                               const fs::path& directory) {
    fs::create_directories(directory);
    fs::copy_file(fs::path(CDR_FIXTURE_DIR) / (fixture + ".dll"), directory / fileName,
                  fs::copy_options::overwrite_existing);
}

void BridgeTest::setStoredName(const std::string& name) {
    host().hasStoredName = true;
    host().storedName = name;
}

void BridgeTest::clearStoredName() {
    host().hasStoredName = false;
    host().storedName.clear();
}

std::vector<ConfigCall> BridgeTest::configCalls() const {
    return host().calls;
}

std::vector<ConfigCall> BridgeTest::writeCalls() const {
    std::vector<ConfigCall> writes;
    for (const ConfigCall& call : host().calls) {
        if (call.function == "WriteConfig") writes.push_back(call);
    }
    return writes;
}

HostInfoRecord BridgeTest::hostRecordFor(const std::string& hostExe) {
    // Any non-null value serves as the host's module: the Linux layer names it as told.
    static uintptr_t nextFakeModule = 0x10000;
    const HMODULE module = reinterpret_cast<HMODULE>(nextFakeModule);
    nextFakeModule += 0x1000;
    sim::setModuleFileName(module, hostExe);
    HostInfoRecord record{};
    record.ReadConfig = readConfig;
    record.WriteConfig = writeConfig;
    record.ParentWindow = reinterpret_cast<HWND>(static_cast<uintptr_t>(0x4242));
    record.HostModule = module;
    return record;
}

HostInfoRecord BridgeTest::defaultHostRecord() {
    return hostRecordFor(windowsPath(hostDir() / "fpse.exe"));
}

std::vector<std::string> BridgeTest::driverLog() const {
    std::vector<std::string> lines;
    std::ifstream in(logFile());
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::vector<std::string> BridgeTest::driverCalls(const std::string& fileName) const {
    std::vector<std::string> calls;
    const std::string prefix = fileName + " ";
    for (const std::string& line : driverLog()) {
        if (line.compare(0, prefix.size(), prefix) == 0)
            calls.push_back(line.substr(prefix.size()));
    }
    return calls;
}

int32_t BridgeTest::runDialog(HostInfoRecord& record, const std::function<void(HWND)>& drive) {
    sim::setDialogHook(drive);
    const int32_t result = bridge().CD_Configure(&record);
    sim::clearDialogHook();
    return result;
}

}  // namespace bridge_test
