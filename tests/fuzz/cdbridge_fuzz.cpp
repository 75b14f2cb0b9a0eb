// The CD bridge through its exports, with the test CD-ROM drivers installed in a host tree and
// host records of any content: any stored driver name (NUL or not), any host file name, missing
// configuration functions, any track and time bytes, and the dialog driven by the input. After
// every input no driver library may be left loaded.
#include <dlfcn.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "cdbridge/host_record.h"
#include "fuzz_input.h"
#include "platform/sim/sim.h"
#include "platform/win32.h"

namespace {

namespace fs = std::filesystem;

// Installed as <name>.dll in the host tree's driver directory.
const char* const kDrivers[] = {"cdr_good",     "cdr_second",     "cdr_init_fails",
                                "cdr_open_fails", "cdr_other_kind", "cdr_no_test",
                                "cdr_test_m1",  "cdr_no_read",    "cdr_minimal",
                                "cdr_no_identity"};
constexpr size_t kDriverCount = sizeof kDrivers / sizeof kDrivers[0];

struct Bridge {
    void* handle = nullptr;
    fs::path root;
    std::string hostExe;  // Windows-style name of the host's executable in the tree
    int32_t (*CD_Open)(HostInfoRecord*) = nullptr;
    void (*CD_Close)() = nullptr;
    uint8_t* (*CD_Read)(const uint8_t*) = nullptr;
    int32_t (*CD_GetTN)(uint8_t*) = nullptr;
    int32_t (*CD_GetTD)(uint8_t*, int32_t) = nullptr;
    int32_t (*CD_Play)() = nullptr;
    int32_t (*CD_Stop)() = nullptr;
    int32_t (*CD_Wait)() = nullptr;
    void (*CD_GetSeek)() = nullptr;
    int32_t (*CD_Configure)(HostInfoRecord*) = nullptr;
    void (*CD_About)(void*) = nullptr;
    BOOL (*DllMain)(HINSTANCE, DWORD, LPVOID) = nullptr;
};
Bridge bridge;

template <typename Function>
void bind(const char* name, Function& target) {
    target = reinterpret_cast<Function>(dlsym(bridge.handle, name));
    if (target == nullptr) {
        std::fprintf(stderr, "missing export %s\n", name);
        std::abort();
    }
}

std::string windowsPath(const fs::path& path) {
    std::string text = path.string();
    for (char& c : text) c = c == '/' ? '\\' : c;
    return text;
}

// What the fake host's ReadConfig answers for this input: up to 256 bytes, NUL-terminated or
// not (the bridge tells the host no size, and gives it 256 bytes).
char storedName[256];
size_t storedLength = 0;
bool hasStoredName = false;

int readConfig(const char*, const char*, char* value) {
    if (hasStoredName) std::memcpy(value, storedName, storedLength);
    return 0;
}

int writeConfig(const char*, const char*, char* value) {
    // The host copies the name it is given; it must be a string of a bounded length.
    if (std::strlen(value) >= 32) std::abort();
    return 0;
}

void chooseStoredName(FuzzInput& in) {
    const uint8_t how = in.take<uint8_t>();
    hasStoredName = (how & 0x80) == 0;
    if ((how & 0x40) == 0) {
        const std::string name = std::string(kDrivers[how % kDriverCount]) + ".dll";
        std::memcpy(storedName, name.c_str(), name.size() + 1);
        storedLength = name.size() + 1;
    } else {
        storedLength = in.takeBytes(storedName, in.take<uint8_t>() % (sizeof storedName + 1));
    }
}

HostInfoRecord hostRecord(FuzzInput& in) {
    HostInfoRecord record;
    in.takeBytes(&record, sizeof record);  // reserved fields and window: anything
    const uint8_t shape = in.take<uint8_t>();
    record.ReadConfig = (shape & 1) != 0 ? nullptr : readConfig;
    record.WriteConfig = (shape & 2) != 0 ? nullptr : writeConfig;
    const HMODULE fakeHost = reinterpret_cast<HMODULE>(static_cast<uintptr_t>(0x10000));
    switch ((shape >> 2) % 4) {
        case 0:
            sim::setModuleFileName(fakeHost, bridge.hostExe);
            record.HostModule = fakeHost;
            break;
        case 1: {
            // Any file name: no backslash, longer than every buffer, odd bytes.
            char name[400];
            const size_t length = in.takeBytes(name, in.take<uint16_t>() % sizeof name);
            // The simulated loader knows only the modules it was told about or loaded; no module has
            // an empty name.
            sim::setModuleFileName(fakeHost, length != 0 ? std::string(name, length) : "x");
            record.HostModule = fakeHost;
            break;
        }
        case 2:
            record.HostModule = nullptr;  // the process's own executable
            break;
        default:
            record.HostModule = reinterpret_cast<HMODULE>(bridge.handle);  // PLUGIN\PLUGIN\PSEMU
            break;
    }
    chooseStoredName(in);
    return record;
}

void driveDialog(FuzzInput& in, HWND dialog) {
    const int actions = in.take<uint8_t>() % 8;
    for (int i = 0; i < actions && !sim::dialogEnded(dialog); ++i) {
        const uint8_t action = in.take<uint8_t>();
        switch (action % 4) {
            case 0:
                SendMessageA(GetDlgItem(dialog, 1003), CB_SETCURSEL,
                             static_cast<WPARAM>(in.take<int8_t>()), 0);
                break;
            case 1:
                sim::dialogClick(dialog, 1000 + (action >> 2) % 3);  // configure, test, about
                break;
            case 2:
                SendMessageA(dialog, WM_COMMAND, static_cast<WPARAM>(in.take<uint32_t>()), 0);
                break;
            default:
                sim::dialogClick(dialog, (action & 0x10) != 0 ? IDOK : IDCANCEL);
                break;
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    char pattern[] = "/tmp/cdbridge-fuzz-XXXXXX";
    if (mkdtemp(pattern) == nullptr) std::abort();
    bridge.root = pattern;
    static char rootForExit[sizeof pattern];
    std::memcpy(rootForExit, pattern, sizeof pattern);
    std::atexit([] {
        std::error_code ignored;
        fs::remove_all(rootForExit, ignored);
    });
    const fs::path drivers = bridge.root / "HOST" / "PLUGIN" / "PSEMU";
    fs::create_directories(drivers);
    for (const char* driver : kDrivers) {
        const fs::path installed = drivers / (std::string(driver) + ".dll");
        fs::copy_file(fs::path(CDR_FIXTURE_DIR) / (std::string(driver) + ".dll"), installed);
        // Held for the whole run, past the loader's counting: libFuzzer reads the coverage
        // counters of every instrumented library it has seen, so none may be unmapped.
        if (dlopen(installed.c_str(), RTLD_NOW | RTLD_LOCAL) == nullptr) std::abort();
    }
    setenv("CDR_FIXTURE_LOG", "/dev/null", 1);
    const fs::path copy = bridge.root / "HOST" / "PLUGIN" / "libcdferro.so";
    fs::copy_file(CDFERRO_LIBRARY, copy);
    bridge.handle = dlopen(copy.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (bridge.handle == nullptr) std::abort();
    bridge.hostExe = windowsPath(bridge.root / "HOST" / "fpse.exe");
    bind("CD_Open", bridge.CD_Open);
    bind("CD_Close", bridge.CD_Close);
    bind("CD_Read", bridge.CD_Read);
    bind("CD_GetTN", bridge.CD_GetTN);
    bind("CD_GetTD", bridge.CD_GetTD);
    bind("CD_Play", bridge.CD_Play);
    bind("CD_Stop", bridge.CD_Stop);
    bind("CD_Wait", bridge.CD_Wait);
    bind("CD_GetSeek", bridge.CD_GetSeek);
    bind("CD_Configure", bridge.CD_Configure);
    bind("CD_About", bridge.CD_About);
    bind("DllMain", bridge.DllMain);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    while (!in.empty()) {
        switch (in.take<uint8_t>() % 9) {
            case 0: {
                HostInfoRecord record = hostRecord(in);
                bridge.CD_Open(&record);
                break;
            }
            case 1:
                bridge.CD_Close();
                break;
            case 2: {
                uint8_t time[3];
                in.takeBytes(time, sizeof time);
                bridge.CD_Read((in.take<uint8_t>() & 1) != 0 ? nullptr : time);
                break;
            }
            case 3: {
                uint8_t buffer[4];
                in.takeBytes(buffer, sizeof buffer);
                bridge.CD_GetTN(buffer);
                bridge.CD_GetTD(buffer, in.take<int32_t>());
                break;
            }
            case 4:
                bridge.CD_Play();
                bridge.CD_Stop();
                bridge.CD_Wait();
                bridge.CD_GetSeek();
                break;
            case 5: {
                static uint8_t about[1156];
                bridge.CD_About(about);
                break;
            }
            case 6: {
                HostInfoRecord record = hostRecord(in);
                sim::setDialogHook([&in](HWND dialog) { driveDialog(in, dialog); });
                bridge.CD_Configure((in.take<uint8_t>() & 1) != 0 ? nullptr : &record);
                sim::clearDialogHook();
                break;
            }
            case 7:
                // A thread starting or ending somewhere in the host.
                bridge.DllMain(reinterpret_cast<HINSTANCE>(bridge.handle),
                               DLL_THREAD_ATTACH + in.take<uint8_t>() % 2, nullptr);
                break;
            default: {
                // The bridge's own file name as the system reports it, long ones included.
                char name[400];
                const size_t length = in.takeBytes(name, in.take<uint16_t>() % sizeof name);
                sim::setModuleFileName(reinterpret_cast<HMODULE>(bridge.handle),
                                           std::string(name, length));
                break;
            }
        }
    }
    bridge.CD_Close();
    if (sim::librariesHeld() != 0) {
        std::fprintf(stderr, "a driver library was left loaded\n");
        std::abort();
    }
    sim::clearModuleFileNames();
    sim::clearLibraryEvents();
    sim::clearDialogs();
    sim::clearMessageBoxes();
    return 0;
}
