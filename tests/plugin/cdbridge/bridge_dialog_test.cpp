// The configuration dialog through CD_Configure, driven message by message in the Linux layer.
#include <dlfcn.h>

#include "bridge_host.h"

namespace bridge_test {
namespace {

using Items = std::vector<std::string>;

constexpr int kConfigure = 1000;
constexpr int kTest = 1001;
constexpr int kAbout = 1002;
constexpr int kList = 1003;

class BridgeDialog : public BridgeTest {
  protected:
    void select(HWND dialog, int index) {
        SendMessageA(GetDlgItem(dialog, kList), CB_SETCURSEL, index, 0);
    }

    bool loaded(const std::string& fileName) {
        for (const auto& event : sim::libraryEvents()) {
            if (event.call == "LoadLibraryA" && event.path.find(fileName) != std::string::npos)
                return true;
        }
        return false;
    }
};

TEST_F(BridgeDialog, ListsCdromDriversInSearchOrderAndStoresThePick) {
    installDriver("cdr_second", "cdr_second.dll");
    installDriver("cdr_good", "cdr_good.dll");
    installDriver("cdr_other_kind", "cdr_other_kind.dll");
    installDriver("cdr_no_identity", "cdr_no_identity.dll");
    installDriver("cdr_no_type", "cdr_no_type.dll");
    installDriver("cdr_no_version", "cdr_no_version.dll");
    fs::create_directories(driverDir() / "sub.dll");
    HostInfoRecord record = defaultHostRecord();

    Items items;
    int selection = -2;
    const int32_t result = runDialog(record, [&](HWND dialog) {
        items = sim::dialogComboItems(dialog, kList);
        selection = sim::dialogComboSelection(dialog, kList);
        for (int id : {IDOK, IDCANCEL, kConfigure, kTest, kAbout, kList}) {
            EXPECT_TRUE(sim::dialogItemEnabled(dialog, id)) << id;
        }
        EXPECT_EQ(sim::dialogClick(dialog, IDOK), TRUE);
    });

    EXPECT_EQ(result, 0);
    // Name order in the simulation's search; 0x0005010A shows as 1.10, the top half hidden.
    EXPECT_EQ(items, (Items{"Good Driver 2.3", "Second Driver 1.10"}));
    EXPECT_EQ(selection, 0);
    ASSERT_EQ(writeCalls().size(), 1u);
    EXPECT_EQ(writeCalls()[0].section, "CDRFERRO");
    EXPECT_EQ(writeCalls()[0].key, "PluginName");
    EXPECT_EQ(writeCalls()[0].value, "cdr_good.dll");
    // Every library looked at was unloaded again; the directory was never loaded; only the
    // drivers' identity was asked, never init or open.
    EXPECT_FALSE(loaded("sub.dll"));
    EXPECT_EQ(driverCalls("cdr_other_kind.dll"), (Items{"attach", "PSEgetLibType", "detach"}));
    for (const char* incomplete : {"cdr_no_identity.dll", "cdr_no_type.dll", "cdr_no_version.dll"})
        EXPECT_EQ(driverCalls(incomplete), (Items{"attach", "detach"})) << incomplete;
    EXPECT_EQ(driverCalls("cdr_good.dll"),
              (Items{"attach", "PSEgetLibType", "PSEgetLibVersion", "PSEgetLibName", "detach"}));

    const auto dialogs = sim::dialogsShown();
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(dialogs[0].instance, bridgeModule());
    EXPECT_EQ(dialogs[0].templateId, 101u);
    EXPECT_EQ(dialogs[0].parent, record.ParentWindow);
    EXPECT_TRUE(dialogs[0].initResult);
}

TEST_F(BridgeDialog, StoredNameSelectsItsItemWhateverTheLetterCase) {
    installDriver("cdr_good", "cdr_good.dll");
    installDriver("cdr_second", "cdr_second.dll");
    HostInfoRecord record = defaultHostRecord();
    setStoredName("CDR_Second.DLL");
    int selection = -2;
    runDialog(record, [&](HWND dialog) {
        selection = sim::dialogComboSelection(dialog, kList);
        sim::dialogPressEnter(dialog);
    });
    EXPECT_EQ(selection, 1);
    // OK stores the file's own spelling, without directory.
    ASSERT_EQ(writeCalls().size(), 1u);
    EXPECT_EQ(writeCalls()[0].value, "cdr_second.dll");

    // A name that matches nothing leaves the first item selected.
    setStoredName("gone.dll");
    runDialog(record,
              [&](HWND dialog) { selection = sim::dialogComboSelection(dialog, kList); });
    EXPECT_EQ(selection, 0);
}

TEST_F(BridgeDialog, NoDriversDisablesTheListAndItsButtons) {
    fs::remove_all(driverDir());
    HostInfoRecord record = defaultHostRecord();
    setStoredName("cdr_good.dll");
    runDialog(record, [&](HWND dialog) {
        EXPECT_TRUE(sim::dialogComboItems(dialog, kList).empty());
        for (int id : {kList, kConfigure, kTest, kAbout}) {
            EXPECT_FALSE(sim::dialogItemEnabled(dialog, id)) << id;
        }
        EXPECT_TRUE(sim::dialogItemEnabled(dialog, IDOK));
        EXPECT_TRUE(sim::dialogItemEnabled(dialog, IDCANCEL));
        // Even a command that reaches the procedure finds no selection to act on.
        EXPECT_EQ(SendMessageA(dialog, WM_COMMAND, kTest, 0), TRUE);
        EXPECT_EQ(sim::dialogClick(dialog, IDOK), TRUE);
        EXPECT_TRUE(sim::dialogEnded(dialog));
    });
    // No stored name was read, and OK stored nothing.
    EXPECT_TRUE(configCalls().empty());
    EXPECT_TRUE(sim::messageBoxes().empty());
}

TEST_F(BridgeDialog, CancelEscapeAndDestroyStoreNothing) {
    installDriver("cdr_good", "cdr_good.dll");
    HostInfoRecord record = defaultHostRecord();
    const std::vector<std::function<void(HWND)>> endings = {
        [](HWND dialog) { sim::dialogClick(dialog, IDCANCEL); },
        [](HWND dialog) { sim::dialogPressEscape(dialog); },
        [](HWND dialog) { EXPECT_EQ(SendMessageA(dialog, WM_DESTROY, 0, 0), TRUE); },
    };
    for (const auto& end : endings) {
        bool ended = false;
        EXPECT_EQ(runDialog(record,
                            [&](HWND dialog) {
                                end(dialog);
                                ended = sim::dialogEnded(dialog);
                            }),
                  0);
        EXPECT_TRUE(ended);
    }
    EXPECT_TRUE(writeCalls().empty());
    for (const auto& dialog : sim::dialogsShown()) EXPECT_EQ(dialog.result, 0);
}

TEST_F(BridgeDialog, CommandsWithANotificationCodeAreNotClicks) {
    installDriver("cdr_good", "cdr_good.dll");
    HostInfoRecord record = defaultHostRecord();
    runDialog(record, [&](HWND dialog) {
        // An accelerator's OK (code 1) and a list selection change (CBN_SELCHANGE, 1).
        EXPECT_EQ(SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, 1), 0), FALSE);
        EXPECT_EQ(SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(kTest, 1), 0), FALSE);
        EXPECT_EQ(SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(kList, 1), 0), FALSE);
        EXPECT_EQ(SendMessageA(dialog, WM_COMMAND, 4711, 0), FALSE);
        EXPECT_EQ(SendMessageA(dialog, 0x0200 /* WM_MOUSEMOVE */, 0, 0), FALSE);
        EXPECT_FALSE(sim::dialogEnded(dialog));
    });
    EXPECT_TRUE(writeCalls().empty());
    EXPECT_TRUE(sim::messageBoxes().empty());
}

TEST_F(BridgeDialog, TestButtonReportsWhatTheDriverSays) {
    // Name order puts them in the order of the expected texts.
    installDriver("cdr_good", "a_test_0.dll");
    installDriver("cdr_test_m1", "b_test_m1.dll");
    installDriver("cdr_test_m40", "c_test_m40.dll");
    installDriver("cdr_test_m2", "d_test_m2.dll");
    installDriver("cdr_test_5", "e_test_5.dll");
    installDriver("cdr_no_test", "f_no_test.dll");
    HostInfoRecord record = defaultHostRecord();
    HWND shownIn = nullptr;
    runDialog(record, [&](HWND dialog) {
        shownIn = dialog;
        ASSERT_EQ(sim::dialogComboItems(dialog, kList).size(), 6u);
        for (int i = 0; i < 6; ++i) {
            select(dialog, i);
            EXPECT_EQ(sim::dialogClick(dialog, kTest), TRUE);
        }
        EXPECT_FALSE(sim::dialogEnded(dialog));
    });

    const std::string works = "This driver reports that it should work correctly!";
    const std::string cannot = "This driver can't run on your hardware!";
    const std::string old = "This is an old style driver and does not support TEST function";
    const auto boxes = sim::messageBoxes();
    ASSERT_EQ(boxes.size(), 6u);
    const Items expected = {works, cannot, cannot, old, old, old};
    for (size_t i = 0; i < boxes.size(); ++i) {
        EXPECT_EQ(boxes[i].text, expected[i]) << i;
        EXPECT_EQ(boxes[i].caption, "Psemu");
        EXPECT_EQ(boxes[i].type, 0x40u);
        EXPECT_EQ(boxes[i].owner, shownIn);
    }
    // Tested as installed: no init, no open, and unloaded after each click.
    EXPECT_EQ(driverCalls("b_test_m1.dll"),
              (Items{"attach", "PSEgetLibType", "PSEgetLibVersion", "PSEgetLibName", "detach",
                     "attach", "CDRtest", "detach"}));
    EXPECT_EQ(driverCalls("f_no_test.dll").back(), "detach");
}

TEST_F(BridgeDialog, ConfigureAndAboutRunTheDriversOwnFunctions) {
    installDriver("cdr_good", "a_good.dll");
    installDriver("cdr_minimal", "b_minimal.dll");
    HostInfoRecord record = defaultHostRecord();
    runDialog(record, [&](HWND dialog) {
        sim::dialogClick(dialog, kConfigure);
        sim::dialogClick(dialog, kAbout);
        // A driver without either function: the buttons do nothing, the library still unloads.
        select(dialog, 1);
        sim::dialogClick(dialog, kConfigure);
        sim::dialogClick(dialog, kAbout);
    });
    const Items identity = {"attach", "PSEgetLibType", "PSEgetLibVersion", "PSEgetLibName",
                            "detach"};
    Items good = identity;
    for (const char* call : {"CDRconfigure", "CDRabout"}) {
        good.insert(good.end(), {"attach", call, "detach"});
    }
    EXPECT_EQ(driverCalls("a_good.dll"), good);
    Items minimal = identity;
    minimal.insert(minimal.end(), {"attach", "detach", "attach", "detach"});
    EXPECT_EQ(driverCalls("b_minimal.dll"), minimal);
}

// Many drivers show their configure or about box without an owner, so our dialog stays enabled
// and the user can press a button again while the box is open.
TEST_F(BridgeDialog, ButtonPressedWhileADriversBoxIsOpenLeavesNoLibraryLoaded) {
    installDriver("cdr_good", "cdr_good.dll");
    HostInfoRecord record = defaultHostRecord();
    // The hook lives in the library instance the bridge loads; this reference is taken past
    // the Linux layer, so it is not among the references counted.
    void* own = dlopen((driverDir() / "cdr_good.dll").c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(own, nullptr);
    auto setHook = reinterpret_cast<void (*)(void (*)())>(dlsym(own, "FixtureSetBoxHook"));
    ASSERT_NE(setHook, nullptr);
    static HWND openDialog = nullptr;
    runDialog(record, [&](HWND dialog) {
        openDialog = dialog;
        setHook([] { sim::dialogClick(openDialog, kAbout); });
        sim::dialogClick(dialog, kConfigure);
    });
    dlclose(own);
    EXPECT_EQ(sim::librariesHeld(), 0);
    EXPECT_EQ(driverCalls("cdr_good.dll"),
              (Items{"attach", "PSEgetLibType", "PSEgetLibVersion", "PSEgetLibName", "CDRconfigure",
                     "CDRabout", "detach"}));
}

TEST_F(BridgeDialog, ButtonsDoNothingWhenThePickedLibraryIsGone) {
    installDriver("cdr_good", "cdr_good.dll");
    HostInfoRecord record = defaultHostRecord();
    runDialog(record, [&](HWND dialog) {
        fs::remove(driverDir() / "cdr_good.dll");
        for (int id : {kConfigure, kTest, kAbout})
            EXPECT_EQ(sim::dialogClick(dialog, id), TRUE);
    });
    EXPECT_TRUE(sim::messageBoxes().empty());
    EXPECT_EQ(driverCalls("cdr_good.dll"),
              (Items{"attach", "PSEgetLibType", "PSEgetLibVersion", "PSEgetLibName", "detach"}));
}

TEST_F(BridgeDialog, TableLimitsTheFirstSixteenAndNamesUnder32Characters) {
    for (int i = 1; i <= 17; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "d%02d.dll", i);
        installDriver("cdr_good", name);
    }
    HostInfoRecord record = defaultHostRecord();
    size_t count = 0;
    runDialog(record, [&](HWND dialog) {
        count = sim::dialogComboItems(dialog, kList).size();
        select(dialog, 15);
        sim::dialogClick(dialog, IDOK);
    });
    EXPECT_EQ(count, 16u);
    ASSERT_EQ(writeCalls().size(), 1u);
    EXPECT_EQ(writeCalls()[0].value, "d16.dll");
    EXPECT_FALSE(loaded("d17.dll"));

    // 31 characters fit a 32-byte entry; 32 do not.
    fs::remove_all(driverDir());
    installDriver("cdr_good", "abcdefghijklmnopqrstuvwxyz0.dll");
    installDriver("cdr_driver_with_a_long_file_name", "abcdefghijklmnopqrstuvwxyz01.dll");
    runDialog(record, [&](HWND dialog) {
        EXPECT_EQ(sim::dialogComboItems(dialog, kList), (Items{"Good Driver 2.3"}));
        sim::dialogClick(dialog, IDOK);
    });
    ASSERT_EQ(writeCalls().size(), 2u);
    EXPECT_EQ(writeCalls()[1].value, "abcdefghijklmnopqrstuvwxyz0.dll");
    EXPECT_FALSE(loaded("abcdefghijklmnopqrstuvwxyz01.dll"));
}

TEST_F(BridgeDialog, ReopeningShowsTheSameItemsOnce) {
    installDriver("cdr_good", "cdr_good.dll");
    installDriver("cdr_second", "cdr_second.dll");
    HostInfoRecord record = defaultHostRecord();
    std::vector<Items> seen;
    for (int pass = 0; pass < 2; ++pass) {
        runDialog(record, [&](HWND dialog) {
            seen.push_back(sim::dialogComboItems(dialog, kList));
            select(dialog, 1);
            sim::dialogClick(dialog, IDOK);
        });
    }
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0], seen[1]);
    EXPECT_EQ(seen[0].size(), 2u);
    ASSERT_EQ(writeCalls().size(), 2u);
    EXPECT_EQ(writeCalls()[0].value, writeCalls()[1].value);
}

TEST_F(BridgeDialog, SearchesTheBridgesDirectoryAndLeavesAnOpenDriverAlone) {
    // The host opens a driver from another tree; the dialog still lists the bridge's own.
    const fs::path otherHost = hostDir().parent_path() / "OTHER";
    installDriver("cdr_second", "playing.dll", otherHost / "PLUGIN" / "PSEMU");
    installDriver("cdr_good", "cdr_good.dll");
    HostInfoRecord record = hostRecordFor(windowsPath(otherHost / "fpse.exe"));
    setStoredName("playing.dll");
    ASSERT_EQ(bridge().CD_Open(&record), 0);

    Items items;
    runDialog(record, [&](HWND dialog) {
        items = sim::dialogComboItems(dialog, kList);
        sim::dialogClick(dialog, kTest);
        sim::dialogClick(dialog, kConfigure);
    });
    EXPECT_EQ(items, (Items{"Good Driver 2.3"}));

    // The open driver still serves reads and closes as usual.
    const uint8_t time[3] = {0, 2, 16};
    EXPECT_NE(bridge().CD_Read(time), nullptr);
    bridge().CD_Close();
    EXPECT_EQ(driverCalls("playing.dll"),
              (Items{"attach", "CDRinit", "CDRopen", "CDRreadTrack 00 02 16", "CDRgetBuffer",
                     "CDRshutdown", "CDRclose", "detach"}));
    fs::remove_all(otherHost);
}

TEST_F(BridgeDialog, BridgeDirectoryTooLongListsNothing) {
    installDriver("cdr_good", "cdr_good.dll");
    sim::setModuleFileName(bridgeModule(), "C:\\" + std::string(300, 'p') + "\\cdferro.dll");
    HostInfoRecord record = defaultHostRecord();
    runDialog(record, [&](HWND dialog) {
        EXPECT_TRUE(sim::dialogComboItems(dialog, kList).empty());
        EXPECT_FALSE(sim::dialogItemEnabled(dialog, kList));
    });
    EXPECT_TRUE(sim::libraryEvents().empty());
}

}  // namespace
}  // namespace bridge_test
