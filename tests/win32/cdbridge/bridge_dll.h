#pragma once
// The real cdferro.dll under Wine, installed into a host tree the way FPSE users install it:
// HOST\PLUGIN\cdferro.dll with the CD-ROM drivers in HOST\PLUGIN\PSEMU\. The host record is
// built byte by byte at the offsets the host uses, so the DLL's own idea of the layout is
// checked rather than assumed.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace bridge_win32 {

struct BridgeExports {
    int32_t(__cdecl* CD_Open)(void* record);
    void(__cdecl* CD_Close)();
    uint8_t*(__cdecl* CD_Read)(const uint8_t* time);
    int32_t(__cdecl* CD_GetTN)(uint8_t* buffer);
    int32_t(__cdecl* CD_GetTD)(uint8_t* buffer, int32_t track);
    int32_t(__cdecl* CD_Configure)(void* record);
    void(__cdecl* CD_About)(void* destination);
};

// The host tree in the Wine prefix's temporary directory and the bridge loaded from it.
// Created once per process; the driver directory is refilled by each test.
std::string hostDir();    // ...\HOST\ (with the backslash)
std::string driverDir();  // ...\HOST\PLUGIN\PSEMU\ (with the backslash)
const BridgeExports& bridge();

// Empties the driver directory and installs test drivers (fixture target name -> file name).
void clearDrivers();
void installDriver(const std::string& fixture, const std::string& fileName);
void makeDriverSubdirectory(const std::string& name);

// The file names the system's own search of the driver directory returns, in its order.
std::vector<std::string> searchOrder();

// The fake host's configuration store and the record that points at it (52 bytes on the
// 32-bit wire, 72 in the x86-64 test build).
struct HostRecord {
    alignas(8) uint8_t bytes[80];
};
HostRecord makeHostRecord(HWND parent, HMODULE hostModule);
void setStoredName(const std::string& name);  // empty: ReadConfig answers nothing
std::vector<std::string> writtenNames();      // values given to WriteConfig, in order
void clearConfigCalls();

// Lines the test drivers logged since the last clear ("<file> <call> [arguments]").
std::vector<std::string> driverLog();
void clearDriverLog();

}  // namespace bridge_win32
