// CD_Open, CD_Read and CD_Close through the real DLL, with real stdcall driver DLLs.
#include <gtest/gtest.h>

#include <cstring>

#include "bridge_dll.h"

namespace bridge_win32 {
namespace {

using Lines = std::vector<std::string>;

class BridgeDllOpen : public ::testing::Test {
  protected:
    void SetUp() override {
        clearDrivers();
        clearDriverLog();
        clearConfigCalls();
    }
    void TearDown() override { bridge().CD_Close(); }
};

TEST_F(BridgeDllOpen, ReadsThroughTheStoredDriverAndUnloadsItOnClose) {
    installDriver("cdr_good", "cdr_good.dll");
    // A module loaded from HOST\ stands for the host's executable.
    const std::string hostModulePath = hostDir() + "fpse_host.dll";
    ASSERT_TRUE(CopyFileA((driverDir() + "cdr_good.dll").c_str(), hostModulePath.c_str(), FALSE));
    HMODULE hostModule = LoadLibraryA(hostModulePath.c_str());
    ASSERT_NE(hostModule, nullptr);
    HostRecord record = makeHostRecord(nullptr, hostModule);
    setStoredName("cdr_good.dll");

    ASSERT_EQ(bridge().CD_Open(&record), 0);
    const std::string driverPath = driverDir() + "cdr_good.dll";
    HMODULE driver = GetModuleHandleA(driverPath.c_str());
    ASSERT_NE(driver, nullptr) << "the driver was not loaded from HOST\\PLUGIN\\PSEMU\\";
    auto sector = reinterpret_cast<uint8_t* (*)()>(
        reinterpret_cast<void (*)()>(GetProcAddress(driver, "FixtureSectorBuffer")));

    const uint8_t time[3] = {74, 59, 74};
    uint8_t* data = bridge().CD_Read(time);
    EXPECT_EQ(data, sector());
    EXPECT_EQ(data[0], 0x74);
    EXPECT_EQ(data[1], 0x59);
    EXPECT_EQ(data[2], 0x74);

    uint8_t tn[4] = {0xAA, 0, 0, 0xFF};
    EXPECT_EQ(bridge().CD_GetTN(tn), 0);
    EXPECT_EQ(tn[0], 0xAA);
    EXPECT_EQ(tn[1], 1);
    EXPECT_EQ(tn[2], 21);
    EXPECT_EQ(tn[3], 165);
    uint8_t td[4] = {0, 0, 0, 0};
    EXPECT_EQ(bridge().CD_GetTD(td, 0x21), 0);
    EXPECT_EQ(td[1], 21);
    EXPECT_EQ(td[2], 59);
    EXPECT_EQ(td[3], 100);

    bridge().CD_Close();
    EXPECT_EQ(GetModuleHandleA(driverPath.c_str()), nullptr);
    Lines calls;
    for (const std::string& line : driverLog()) {
        if (line.rfind("cdr_good.dll ", 0) == 0) calls.push_back(line.substr(13));
    }
    EXPECT_EQ(calls, (Lines{"attach", "CDRinit", "CDRopen", "CDRreadTrack 74 59 74", "CDRgetBuffer",
                            "CDRgetTN", "CDRgetTD 33", "CDRshutdown", "CDRclose", "detach"}));
    FreeLibrary(hostModule);
}

TEST_F(BridgeDllOpen, FailingInitUnloadsTheDriver) {
    installDriver("cdr_init_fails", "init_fails.dll");
    const std::string hostModulePath = hostDir() + "fpse_host.dll";
    ASSERT_TRUE(CopyFileA((driverDir() + "init_fails.dll").c_str(), hostModulePath.c_str(), FALSE));
    HMODULE hostModule = LoadLibraryA(hostModulePath.c_str());
    HostRecord record = makeHostRecord(nullptr, hostModule);
    clearDriverLog();
    setStoredName("init_fails.dll");

    EXPECT_EQ(bridge().CD_Open(&record), -1);
    EXPECT_EQ(GetModuleHandleA((driverDir() + "init_fails.dll").c_str()), nullptr);
    EXPECT_EQ(driverLog(),
              (Lines{"init_fails.dll attach", "init_fails.dll CDRinit", "init_fails.dll detach"}));
    const uint8_t time[3] = {0, 2, 0};
    EXPECT_EQ(bridge().CD_Read(time), nullptr);
    FreeLibrary(hostModule);
}

TEST_F(BridgeDllOpen, AboutRecordHeaderAndTexts) {
    uint8_t about[1160];
    std::memset(about, 0xCC, sizeof about);
    bridge().CD_About(about);
    EXPECT_EQ(about[0], 0x05);
    EXPECT_EQ(about[1], 0x03);
    EXPECT_EQ(about[2], 0x01);
    EXPECT_EQ(about[3], 0x00);
    EXPECT_STREQ(reinterpret_cast<char*>(about + 4), "Tovrek");
    EXPECT_STREQ(reinterpret_cast<char*>(about + 68), "CDFerro");
    EXPECT_STREQ(reinterpret_cast<char*>(about + 132),
                 "This Plugin allows to use PsemuPro Cdr plugin with FPSE.");
    EXPECT_EQ(about[1155], 0x00);
    EXPECT_EQ(about[1156], 0xCC);
}

}  // namespace
}  // namespace bridge_win32
