// Holds the dialog open while screenshot.sh photographs the display. Runs only under that
// script, which names the directory for the hand-over files in CDFERRO_SHOT_DIR.
#include <gtest/gtest.h>

#include "bridge_dll.h"
#include "dialog_watcher.h"

namespace bridge_win32 {
namespace {

bool fileExists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

TEST(BridgeDllScreenshot, DialogStaysOpenForTheCamera) {
    char directory[MAX_PATH] = {};
    if (GetEnvironmentVariableA("CDFERRO_SHOT_DIR", directory, MAX_PATH) == 0) {
        GTEST_SKIP() << "run by screenshot.sh";
    }
    clearDrivers();
    installDriver("cdr_good", "cdr_good.dll");
    installDriver("cdr_second", "cdr_second.dll");
    HostRecord record = makeHostRecord(nullptr, GetModuleHandleA(nullptr));
    setStoredName("cdr_second.dll");
    const std::string marker = std::string(directory) + "\\dialog-open";
    const std::string done = std::string(directory) + "\\shot.done";
    bool photographed = false;
    HWND dialog = nullptr;
    runWithWatcher([&] { bridge().CD_Configure(&record); },
                   [&] {
                       dialog = waitForWindow(kDialogCaption);
                       if (dialog == nullptr) return;
                       SetWindowPos(dialog, HWND_TOP, 40, 40, 0, 0, SWP_NOSIZE);
                       Sleep(500);  // let it paint
                       HANDLE file = CreateFileA(marker.c_str(), GENERIC_WRITE, 0, nullptr,
                                                 CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
                       CloseHandle(file);
                       for (int i = 0; i < 400 && !photographed; ++i) {
                           photographed = fileExists(done);
                           Sleep(50);
                       }
                       click(GetDlgItem(dialog, IDCANCEL));
                   });
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(photographed);
}

}  // namespace
}  // namespace bridge_win32
