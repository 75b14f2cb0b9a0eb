#pragma once
// What the bridge's plug-in tests share: the bridge loaded from a host tree in a temporary
// directory, a fake FPSE host record whose configuration functions record every call, and the
// call log the test CD-ROM drivers write.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "cdbridge/host_record.h"
#include "platform/sim/sim.h"
#include "platform/win32.h"

namespace bridge_test {

namespace fs = std::filesystem;

// The bridge's exports, resolved with dlsym as the host resolves them.
struct BridgeExports {
    int32_t (*CD_Open)(HostInfoRecord*);
    void (*CD_Close)();
    uint8_t* (*CD_Read)(const uint8_t*);
    int32_t (*CD_GetTN)(uint8_t*);
    int32_t (*CD_GetTD)(uint8_t*, int32_t);
    int32_t (*CD_Play)();
    int32_t (*CD_Stop)();
    int32_t (*CD_Wait)();
    void (*CD_GetSeek)();
    int32_t (*CD_Configure)(HostInfoRecord*);
    void (*CD_About)(void*);
};

// One configuration call the bridge made to the host.
struct ConfigCall {
    std::string function;  // "ReadConfig" or "WriteConfig"
    std::string section;
    std::string key;
    std::string value;  // what WriteConfig was given, or what ReadConfig returned
};

// The host tree: ROOT/HOST/PLUGIN/ holds the bridge, ROOT/HOST/PLUGIN/PSEMU/ the drivers.
// The bridge is loaded once per test program; the driver directory is emptied for each test.
class BridgeTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    static const BridgeExports& bridge();
    static HMODULE bridgeModule();
    static fs::path hostDir();                             // ROOT/HOST
    static fs::path driverDir();                           // ROOT/HOST/PLUGIN/PSEMU
    static std::string windowsPath(const fs::path& path);  // as GetModuleFileNameA shows it

    // Copies a test driver (target name, e.g. "cdr_good") into `directory` as `fileName`.
    static void installDriver(const std::string& fixture, const std::string& fileName,
                              const fs::path& directory = driverDir());

    // The fake host: ReadConfig answers `storedName` (nothing when unset); WriteConfig stores.
    void setStoredName(const std::string& name);
    void clearStoredName();
    std::vector<ConfigCall> configCalls() const;
    std::vector<ConfigCall> writeCalls() const;

    // A host record whose HostModule reports `hostExe` (a Windows-style path) as its file name.
    HostInfoRecord hostRecordFor(const std::string& hostExe);
    // A record for the tree above: HOST\fpse.exe.
    HostInfoRecord defaultHostRecord();

    // Lines the drivers logged since the test began, each "<file> <call> [arguments]".
    std::vector<std::string> driverLog() const;
    // Only the lines of driver file `fileName`, without the file name.
    std::vector<std::string> driverCalls(const std::string& fileName) const;

    // Opens the dialog through CD_Configure and runs `drive` on it while it is open.
    int32_t runDialog(HostInfoRecord& record, const std::function<void(HWND)>& drive);
};

}  // namespace bridge_test
