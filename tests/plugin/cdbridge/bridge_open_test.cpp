// CD_Open, CD_Close and the calls forwarded to an open driver, through the bridge's exports.
#include <dlfcn.h>
#include <unistd.h>

#include <atomic>
#include <thread>

#include "bridge_host.h"

namespace bridge_test {
namespace {

using Calls = std::vector<std::string>;

class BridgeOpen : public BridgeTest {
  protected:
    // The address the driver hands out from CDRgetBuffer, read without a logged call.
    uint8_t* fixtureSector(const std::string& fileName) {
        HMODULE module = LoadLibraryA((driverDir() / fileName).c_str());
        auto sector =
            reinterpret_cast<uint8_t* (*)()>(GetProcAddress(module, "FixtureSectorBuffer"));
        uint8_t* address = sector();
        FreeLibrary(module);
        return address;
    }

    std::vector<std::string> loadedPaths() {
        std::vector<std::string> paths;
        for (const auto& event : sim::libraryEvents()) {
            if (event.call == "LoadLibraryA") paths.push_back(event.path);
        }
        return paths;
    }
};

TEST_F(BridgeOpen, OpensReadsAndClosesTheStoredDriver) {
    installDriver("cdr_good", "cdr_good.dll");
    // The host's own module lives in HOST\: a real library there, so its name comes from the
    // loader and not from an override.
    installDriver("cdr_other_kind", "fpse_host.dll", hostDir());
    HMODULE hostModule = LoadLibraryA((hostDir() / "fpse_host.dll").c_str());
    ASSERT_NE(hostModule, nullptr);
    HostInfoRecord record = defaultHostRecord();
    record.HostModule = hostModule;
    setStoredName("cdr_good.dll");
    sim::clearLibraryEvents();

    ASSERT_EQ(bridge().CD_Open(&record), 0);
    ASSERT_EQ(configCalls().size(), 1u);
    EXPECT_EQ(configCalls()[0].function, "ReadConfig");
    EXPECT_EQ(configCalls()[0].section, "CDRFERRO");
    EXPECT_EQ(configCalls()[0].key, "PluginName");
    EXPECT_EQ(loadedPaths(), (Calls{windowsPath(hostDir()) + "\\PLUGIN\\PSEMU\\cdr_good.dll"}));
    EXPECT_EQ(driverCalls("cdr_good.dll"), (Calls{"attach", "CDRinit", "CDRopen"}));

    // Binary 74:59:74 reaches the driver as BCD; the driver's own buffer comes back untouched.
    const uint8_t time[3] = {74, 59, 74};
    uint8_t* sector = bridge().CD_Read(time);
    EXPECT_EQ(sector, fixtureSector("cdr_good.dll"));
    EXPECT_EQ(sector[0], 0x74);
    EXPECT_EQ(sector[1], 0x59);
    EXPECT_EQ(sector[2], 0x74);
    // Values past 99 lose the carry of their tens digit: 200 -> 0x40, 255 -> 0x95.
    const uint8_t wide[3] = {200, 255, 0};
    bridge().CD_Read(wide);

    bridge().CD_Close();
    EXPECT_EQ(
        driverCalls("cdr_good.dll"),
        (Calls{"attach", "CDRinit", "CDRopen", "CDRreadTrack 74 59 74", "CDRgetBuffer",
               "CDRreadTrack 40 95 00", "CDRgetBuffer", "CDRshutdown", "CDRclose", "detach"}));

    // A second close finds nothing open and calls nothing.
    sim::clearLibraryEvents();
    bridge().CD_Close();
    EXPECT_TRUE(sim::libraryEvents().empty());
    EXPECT_EQ(driverCalls("cdr_good.dll").size(), 10u);
    FreeLibrary(hostModule);
}

// Windows runs the bridge's entry routine on every thread start, on the new thread, and it
// rewrites the shared base directory with the bridge's own. Threads start while CD_Open runs
// (the sound plug-in's, DirectSound's, the host's): the driver path must not take them in.
TEST_F(BridgeOpen, ThreadStartsDuringOpenDoNotChangeTheDriverPath) {
    installDriver("cdr_good", "cdr_good.dll");
    HostInfoRecord record = defaultHostRecord();
    setStoredName("cdr_good.dll");
    auto entryRoutine = reinterpret_cast<BOOL (*)(HINSTANCE, DWORD, LPVOID)>(
        dlsym(reinterpret_cast<void*>(bridgeModule()), "DllMain"));
    ASSERT_NE(entryRoutine, nullptr);

    std::atomic<bool> stop{false};
    std::thread threadStarts([&] {
        while (!stop.load()) entryRoutine(bridgeModule(), DLL_THREAD_ATTACH, nullptr);
    });
    int failures = 0;
    for (int i = 0; i < 2000; ++i) {
        if (bridge().CD_Open(&record) != 0) ++failures;
        bridge().CD_Close();
    }
    stop.store(true);
    threadStarts.join();
    EXPECT_EQ(failures, 0);
    const std::string expected = windowsPath(hostDir()) + "\\PLUGIN\\PSEMU\\cdr_good.dll";
    for (const std::string& path : loadedPaths()) ASSERT_EQ(path, expected);
}

TEST_F(BridgeOpen, TrackQueriesConvertBytesOneToThreeFromBcd) {
    installDriver("cdr_good", "cdr_good.dll");
    HostInfoRecord record = defaultHostRecord();
    setStoredName("cdr_good.dll");
    ASSERT_EQ(bridge().CD_Open(&record), 0);

    // The driver writes 0x01 0x21 from byte 1; byte 3 is the host's 0xFF, converted too;
    // byte 0 stays the host's.
    uint8_t tn[4] = {0xAA, 0x00, 0x00, 0xFF};
    EXPECT_EQ(bridge().CD_GetTN(tn), 0);
    EXPECT_EQ(tn[0], 0xAA);
    EXPECT_EQ(tn[1], 1);
    EXPECT_EQ(tn[2], 21);
    EXPECT_EQ(tn[3], 165);

    // The driver writes the raw track byte, 0x59 and 0xA0, in that order.
    uint8_t td[4] = {0x5A, 0, 0, 0};
    EXPECT_EQ(bridge().CD_GetTD(td, 0x21), 0);
    EXPECT_EQ(td[0], 0x5A);
    EXPECT_EQ(td[1], 21);
    EXPECT_EQ(td[2], 59);
    EXPECT_EQ(td[3], 100);
    EXPECT_EQ(driverCalls("cdr_good.dll").back(), "CDRgetTD 33");
}

TEST_F(BridgeOpen, FailedInitOrOpenUnloadsTheDriver) {
    installDriver("cdr_init_fails", "init_fails.dll");
    installDriver("cdr_open_fails", "open_fails.dll");
    HostInfoRecord record = defaultHostRecord();

    setStoredName("init_fails.dll");
    EXPECT_EQ(bridge().CD_Open(&record), -1);
    EXPECT_EQ(driverCalls("init_fails.dll"), (Calls{"attach", "CDRinit", "detach"}));

    // A failed open is not followed by shutdown.
    setStoredName("open_fails.dll");
    EXPECT_EQ(bridge().CD_Open(&record), -1);
    EXPECT_EQ(driverCalls("open_fails.dll"), (Calls{"attach", "CDRinit", "CDRopen", "detach"}));

    // Nothing is open afterwards: no call reaches the unloaded libraries.
    const size_t linesBefore = driverLog().size();
    const uint8_t time[3] = {1, 2, 3};
    uint8_t buffer[4] = {9, 9, 9, 9};
    EXPECT_EQ(bridge().CD_Read(time), nullptr);
    EXPECT_EQ(bridge().CD_GetTN(buffer), 0);
    bridge().CD_Close();
    EXPECT_EQ(driverLog().size(), linesBefore);
}

TEST_F(BridgeOpen, RefusesADriverWithoutInitOpenReadOrBuffer) {
    HostInfoRecord record = defaultHostRecord();
    for (const char* fixture : {"cdr_no_init", "cdr_no_open", "cdr_no_read", "cdr_no_buffer"}) {
        const std::string file = std::string(fixture) + ".dll";
        installDriver(fixture, file);
        setStoredName(file);
        EXPECT_EQ(bridge().CD_Open(&record), -1) << fixture;
        // Refused before any of its code runs, and unloaded.
        EXPECT_EQ(driverCalls(file), (Calls{"attach", "detach"})) << fixture;
    }
    bridge().CD_Close();
    EXPECT_EQ(driverLog().size(), 8u);  // nothing was open for the close to reach
}

TEST_F(BridgeOpen, SkipsTheCallsADriverDoesNotExport) {
    installDriver("cdr_minimal", "minimal.dll");
    HostInfoRecord record = defaultHostRecord();
    setStoredName("minimal.dll");
    ASSERT_EQ(bridge().CD_Open(&record), 0);

    // No CDRgetTN or CDRgetTD: the host's bytes stay as they were.
    uint8_t tn[4] = {1, 0x22, 0x33, 0x44};
    EXPECT_EQ(bridge().CD_GetTN(tn), 0);
    EXPECT_EQ(tn[1], 0x22);
    uint8_t td[4] = {1, 0x22, 0x33, 0x44};
    EXPECT_EQ(bridge().CD_GetTD(td, 1), 0);
    EXPECT_EQ(td[3], 0x44);

    // No CDRshutdown or CDRclose: closing just unloads.
    bridge().CD_Close();
    EXPECT_EQ(driverCalls("minimal.dll"), (Calls{"attach", "CDRinit", "CDRopen", "detach"}));
}

TEST_F(BridgeOpen, NoStoredNameOrMissingFileFailsWithoutDriverCalls) {
    installDriver("cdr_good", "cdr_good.dll");
    HostInfoRecord record = defaultHostRecord();

    // No name: the path is the directory alone, which does not load.
    clearStoredName();
    EXPECT_EQ(bridge().CD_Open(&record), -1);
    EXPECT_EQ(loadedPaths(), (Calls{windowsPath(hostDir()) + "\\PLUGIN\\PSEMU\\"}));

    setStoredName("gone.dll");
    EXPECT_EQ(bridge().CD_Open(&record), -1);
    EXPECT_TRUE(driverLog().empty());
}

TEST_F(BridgeOpen, RefusesPathsThatDoNotFitInsteadOfTruncating) {
    installDriver("cdr_good", "cdr_good.dll");
    setStoredName("cdr_good.dll");

    // A host file name longer than the 256-byte buffer: its directory would come out cut.
    HostInfoRecord longHost = hostRecordFor("C:\\" + std::string(300, 'h') + "\\fpse.exe");
    EXPECT_EQ(bridge().CD_Open(&longHost), -1);

    // 240 + "PLUGIN\PSEMU\" (13) fits; with "cdr_good.dll" (12) the path needs 266 bytes.
    HostInfoRecord deepHost = hostRecordFor(std::string(239, 'd') + "\\fpse.exe");
    EXPECT_EQ(bridge().CD_Open(&deepHost), -1);
    EXPECT_TRUE(loadedPaths().empty());

    // The host may fill all 256 bytes it is given; a name that long cannot form a path.
    HostInfoRecord record = defaultHostRecord();
    setStoredName(std::string(255, 'n'));
    EXPECT_EQ(bridge().CD_Open(&record), -1);
    EXPECT_TRUE(loadedPaths().empty());
}

TEST_F(BridgeOpen, HostNameWithoutBackslashGivesARelativeDriverPath) {
    installDriver("cdr_good", "cdr_good.dll");
    setStoredName("cdr_good.dll");
    HostInfoRecord record = hostRecordFor("fpse.exe");
    const fs::path previous = fs::current_path();
    fs::current_path(hostDir());

    EXPECT_EQ(bridge().CD_Open(&record), 0);
    EXPECT_EQ(loadedPaths(), (Calls{"PLUGIN\\PSEMU\\cdr_good.dll"}));
    bridge().CD_Close();
    fs::current_path(previous);
}

TEST_F(BridgeOpen, OpeningAgainClosesTheDriverThatWasOpen) {
    installDriver("cdr_good", "cdr_good.dll");
    installDriver("cdr_second", "cdr_second.dll");
    HostInfoRecord record = defaultHostRecord();
    setStoredName("cdr_good.dll");
    ASSERT_EQ(bridge().CD_Open(&record), 0);
    setStoredName("cdr_second.dll");
    ASSERT_EQ(bridge().CD_Open(&record), 0);

    EXPECT_EQ(driverLog(),
              (Calls{"cdr_good.dll attach", "cdr_good.dll CDRinit", "cdr_good.dll CDRopen",
                     "cdr_good.dll CDRshutdown", "cdr_good.dll CDRclose", "cdr_good.dll detach",
                     "cdr_second.dll attach", "cdr_second.dll CDRinit", "cdr_second.dll CDRopen"}));
}

TEST_F(BridgeOpen, ForwardingExportsBeforeOpenCallNothing) {
    const uint8_t time[3] = {0, 2, 16};
    EXPECT_EQ(bridge().CD_Read(time), nullptr);
    uint8_t buffer[4] = {7, 0x12, 0x34, 0x56};
    EXPECT_EQ(bridge().CD_GetTN(buffer), 0);
    EXPECT_EQ(bridge().CD_GetTD(buffer, 1), 0);
    EXPECT_EQ(buffer[1], 0x12);
    bridge().CD_Close();
    EXPECT_TRUE(sim::libraryEvents().empty());
}

TEST_F(BridgeOpen, DoNothingExportsAnswerZeroOpenOrNot) {
    installDriver("cdr_good", "cdr_good.dll");
    HostInfoRecord record = defaultHostRecord();
    setStoredName("cdr_good.dll");
    for (int pass = 0; pass < 2; ++pass) {
        EXPECT_EQ(bridge().CD_Play(), 0);
        EXPECT_EQ(bridge().CD_Stop(), 0);
        EXPECT_EQ(bridge().CD_Wait(), 0);
        bridge().CD_GetSeek();
        if (pass == 0) {
            ASSERT_EQ(bridge().CD_Open(&record), 0);
        }
    }
    // None of them reached the driver.
    EXPECT_EQ(driverCalls("cdr_good.dll"), (Calls{"attach", "CDRinit", "CDRopen"}));
}

TEST_F(BridgeOpen, AboutCopiesTheWholeRecordAndNoMore) {
    uint8_t expected[1156] = {0x05, 0x03, 0x01, 0x00};
    const std::string author = "Tovrek";
    const std::string name = "CDFerro";
    const std::string description = "This Plugin allows to use PsemuPro Cdr plugin with FPSE.";
    std::copy(author.begin(), author.end(), expected + 4);
    std::copy(name.begin(), name.end(), expected + 68);
    std::copy(description.begin(), description.end(), expected + 132);

    std::vector<uint8_t> area(1156 + 16, 0xCC);
    bridge().CD_About(area.data());
    EXPECT_EQ(std::vector<uint8_t>(area.begin(), area.begin() + 1156),
              std::vector<uint8_t>(expected, expected + 1156));
    EXPECT_EQ(std::vector<uint8_t>(area.begin() + 1156, area.end()),
              std::vector<uint8_t>(16, 0xCC));
}

}  // namespace
}  // namespace bridge_test
