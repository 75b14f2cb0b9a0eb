// The real dialog from resource 101, opened by CD_Configure and worked from a watcher thread.
#include <gtest/gtest.h>

#include <algorithm>

#include "bridge_dll.h"
#include "dialog_watcher.h"

namespace bridge_win32 {
namespace {

using Items = std::vector<std::string>;

class BridgeDllDialog : public ::testing::Test {
  protected:
    void SetUp() override {
        clearDrivers();
        clearDriverLog();
        clearConfigCalls();
    }
};

TEST_F(BridgeDllDialog, ListsDriversTestsThePickAndStoresIt) {
    installDriver("cdr_good", "cdr_good.dll");
    installDriver("cdr_second", "cdr_second.dll");
    installDriver("cdr_other_kind", "cdr_other_kind.dll");
    makeDriverSubdirectory("sub.dll");
    // The dialog keeps the order of the system's search.
    Items expected;
    for (const std::string& name : searchOrder()) {
        if (name == "cdr_good.dll") expected.push_back("Good Driver 2.3");
        if (name == "cdr_second.dll") expected.push_back("Second Driver 1.10");
    }
    const size_t secondIndex =
        std::find(expected.begin(), expected.end(), "Second Driver 1.10") - expected.begin();
    setStoredName("CDR_SECOND.DLL");

    HWND parent =
        CreateWindowExA(0, "STATIC", "FPSE stand-in host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                        320, 200, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(parent, nullptr);
    HostRecord record = makeHostRecord(parent, GetModuleHandleA(nullptr));

    HWND dialog = nullptr;
    HWND owner = nullptr;
    Items items, texts;
    LRESULT selection = -2;
    LONG style = 0, comboStyle = 0;
    bool listEnabled = false, buttonsEnabled = false;
    std::string boxText, boxCaption;
    int32_t result = -1;
    runWithWatcher([&] { result = bridge().CD_Configure(&record); },
                   [&] {
                       dialog = waitForWindow(kDialogCaption);
                       if (dialog == nullptr) return;
                       owner = GetWindow(dialog, GW_OWNER);
                       style = GetWindowLongA(dialog, GWL_STYLE);
                       HWND combo = GetDlgItem(dialog, 1003);
                       comboStyle = GetWindowLongA(combo, GWL_STYLE);
                       items = comboItems(combo);
                       selection = SendMessageA(combo, CB_GETCURSEL, 0, 0);
                       listEnabled = IsWindowEnabled(combo) != FALSE;
                       buttonsEnabled = IsWindowEnabled(GetDlgItem(dialog, 1000)) &&
                                        IsWindowEnabled(GetDlgItem(dialog, 1001)) &&
                                        IsWindowEnabled(GetDlgItem(dialog, 1002));
                       for (int id : {IDOK, IDCANCEL, 1000, 1001, 1002}) {
                           texts.push_back(windowText(GetDlgItem(dialog, id)));
                       }
                       click(GetDlgItem(dialog, 1001));
                       HWND box = waitForWindow("Psemu");
                       if (box != nullptr) {
                           boxText = messageBoxText(box);
                           boxCaption = windowText(box);
                           click(GetDlgItem(box, IDOK));
                           waitForWindowGone(box);
                       }
                       click(GetDlgItem(dialog, IDOK));
                   });
    DestroyWindow(parent);

    ASSERT_NE(dialog, nullptr) << "the dialog never appeared";
    EXPECT_EQ(result, 0);
    EXPECT_EQ(owner, parent);
    EXPECT_EQ(style & (WS_POPUP | WS_CAPTION | DS_MODALFRAME),
              WS_POPUP | WS_CAPTION | DS_MODALFRAME);
    EXPECT_EQ(style & WS_SYSMENU, 0);
    EXPECT_EQ(comboStyle & CBS_SORT, 0);
    EXPECT_EQ(comboStyle & 3, CBS_DROPDOWNLIST);
    EXPECT_EQ(texts, (Items{"OK", "Cancel", "Configure", "Test", "About"}));
    EXPECT_EQ(items, expected);
    EXPECT_EQ(selection, static_cast<LRESULT>(secondIndex));
    EXPECT_TRUE(listEnabled);
    EXPECT_TRUE(buttonsEnabled);
    EXPECT_EQ(boxText, "This driver reports that it should work correctly!");
    EXPECT_EQ(writtenNames(), (Items{"cdr_second.dll"}));
    // Tested without init or open, and unloaded again.
    EXPECT_EQ(GetModuleHandleA((driverDir() + "cdr_second.dll").c_str()), nullptr);
    Items secondCalls;
    for (const std::string& line : driverLog()) {
        if (line.rfind("cdr_second.dll ", 0) == 0) secondCalls.push_back(line.substr(15));
    }
    EXPECT_EQ(std::count(secondCalls.begin(), secondCalls.end(), "CDRtest"), 1);
    EXPECT_EQ(std::count(secondCalls.begin(), secondCalls.end(), "CDRinit"), 0);
}

TEST_F(BridgeDllDialog, EmptyDirectoryDisablesTheDriverControlsAndOkStoresNothing) {
    HostRecord record = makeHostRecord(nullptr, GetModuleHandleA(nullptr));
    setStoredName("cdr_good.dll");
    HWND dialog = nullptr;
    LRESULT count = -1;
    bool listEnabled = true, anyButtonEnabled = true, okEnabled = false, cancelEnabled = false;
    runWithWatcher([&] { bridge().CD_Configure(&record); },
                   [&] {
                       dialog = waitForWindow(kDialogCaption);
                       if (dialog == nullptr) return;
                       HWND combo = GetDlgItem(dialog, 1003);
                       count = SendMessageA(combo, CB_GETCOUNT, 0, 0);
                       listEnabled = IsWindowEnabled(combo) != FALSE;
                       anyButtonEnabled = IsWindowEnabled(GetDlgItem(dialog, 1000)) ||
                                          IsWindowEnabled(GetDlgItem(dialog, 1001)) ||
                                          IsWindowEnabled(GetDlgItem(dialog, 1002));
                       okEnabled = IsWindowEnabled(GetDlgItem(dialog, IDOK)) != FALSE;
                       cancelEnabled = IsWindowEnabled(GetDlgItem(dialog, IDCANCEL)) != FALSE;
                       click(GetDlgItem(dialog, IDOK));
                   });
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(count, 0);
    EXPECT_FALSE(listEnabled);
    EXPECT_FALSE(anyButtonEnabled);
    EXPECT_TRUE(okEnabled);
    EXPECT_TRUE(cancelEnabled);
    EXPECT_TRUE(writtenNames().empty());
}

TEST_F(BridgeDllDialog, EscapeClosesWithoutStoring) {
    installDriver("cdr_good", "cdr_good.dll");
    HostRecord record = makeHostRecord(nullptr, GetModuleHandleA(nullptr));
    HWND dialog = nullptr;
    runWithWatcher([&] { bridge().CD_Configure(&record); },
                   [&] {
                       dialog = waitForWindow(kDialogCaption);
                       if (dialog == nullptr) return;
                       // What the dialog manager turns the Escape key into.
                       PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
                   });
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(writtenNames().empty());
}

}  // namespace
}  // namespace bridge_win32
