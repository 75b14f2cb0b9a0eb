// The dialog procedure: lists the drivers on opening, stores the pick on OK, and runs the
// picked driver's own configure, test and about functions in the dialog's driver slot.
#include "config_dialog.h"

#include "bridge_state.h"
#include "dialog_ids.h"
#include "driver_discovery.h"

namespace {

char lowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// File names on Windows compare without regard to case; the stored name may come from an
// older setup or a hand-edited configuration.
bool sameFileName(const char* a, const char* b) {
    for (; *a != '\0' && *b != '\0'; ++a, ++b) {
        if (lowerAscii(*a) != lowerAscii(*b)) return false;
    }
    return *a == *b;
}

// The selected list item as an index into DriverList, or -1 when none is selected.
int32_t selectedDriver(HWND dialog) {
    const LRESULT selection = SendMessageA(GetDlgItem(dialog, IDC_DRIVER_LIST), CB_GETCURSEL, 0, 0);
    if (selection < 0 || static_cast<uint32_t>(selection) >= driverCount) return -1;
    return static_cast<int32_t>(selection);
}

void onInitDialog(HWND dialog) {
    DiscoverDrivers(dialog);
    const HWND list = GetDlgItem(dialog, IDC_DRIVER_LIST);
    if (driverCount == 0) {
        EnableWindow(list, FALSE);
        EnableWindow(GetDlgItem(dialog, IDC_CONFIGURE), FALSE);
        EnableWindow(GetDlgItem(dialog, IDC_TEST), FALSE);
        EnableWindow(GetDlgItem(dialog, IDC_ABOUT), FALSE);
        return;
    }
    SendMessageA(list, CB_SETCURSEL, 0, 0);
    if (hostRecord == nullptr || hostRecord->ReadConfig == nullptr) return;
    char stored[kPathSize] = {};
    hostRecord->ReadConfig(kConfigSection, kConfigKey, stored);
    stored[kPathSize - 1] = '\0';
    for (uint32_t i = 0; i < driverCount; ++i) {
        if (sameFileName(DriverList[i], stored)) {
            SendMessageA(list, CB_SETCURSEL, i, 0);
            break;
        }
    }
}

void onOk(HWND dialog) {
    // An empty list has no selection, and nothing to store.
    const int32_t index = selectedDriver(dialog);
    if (index < 0 || hostRecord == nullptr || hostRecord->WriteConfig == nullptr) return;
    hostRecord->WriteConfig(kConfigSection, kConfigKey, DriverList[index]);
}

void runDriverTest(HWND dialog, const CdrDriver& driver) {
    // Drivers from before the test function existed are told apart by its absence.
    const int32_t result = driver.CDRtest != nullptr ? driver.CDRtest() : 1;
    MessageBoxA(dialog, DriverTestText(result), "Psemu", MB_OK | MB_ICONINFORMATION);
}

// Configure, Test and About: the driver is loaded just for the call, without init or open, and
// unloaded right after. A library that fails to load, or lacks the function, does nothing.
// Each click has a slot of its own: many drivers show their configure or about box without an
// owner, so our dialog stays enabled and a second click can arrive while the first one's call
// is still running; with a shared slot the inner click would unload and clear what the outer
// one must free, and one reference to the library would be left behind.
void onDriverButton(HWND dialog, WPARAM button) {
    const int32_t index = selectedDriver(dialog);
    if (index < 0) return;
    char bridgeDirectory[kPathSize];
    if (!ModuleDirectory(moduleHandle, bridgeDirectory)) return;
    char path[kPathSize];
    if (!JoinPath(path, bridgeDirectory, "PSEMU\\", DriverList[index])) return;
    CdrDriver driver;
    if (LoadCdrDriver(driver, path) != 0) return;
    if (button == IDC_CONFIGURE && driver.CDRconfigure != nullptr) {
        driver.CDRconfigure();
    } else if (button == IDC_ABOUT && driver.CDRabout != nullptr) {
        driver.CDRabout();
    } else if (button == IDC_TEST) {
        runDriverTest(dialog, driver);
    }
    UnloadCdrDriver(driver);
}

}  // namespace

const char* DriverTestText(int32_t result) {
    if (result == 0) return "This driver reports that it should work correctly!";
    if (result == -1 || result == -40) return "This driver can't run on your hardware!";
    return "This is an old style driver and does not support TEST function";
}

INT_PTR CALLBACK ConfigDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM /*lParam*/) {
    switch (message) {
        case WM_INITDIALOG:
            onInitDialog(dialog);
            return TRUE;  // the system sets the default focus
        case WM_COMMAND:
            // The whole wParam: only notification code 0 (clicks, Enter, Escape) acts, so list
            // notifications and accelerators never end the dialog or run a driver.
            switch (wParam) {
                case IDCANCEL:
                    EndDialog(dialog, 0);
                    return TRUE;
                case IDOK:
                    onOk(dialog);
                    EndDialog(dialog, 0);
                    return TRUE;
                case IDC_CONFIGURE:
                case IDC_TEST:
                case IDC_ABOUT:
                    onDriverButton(dialog, wParam);
                    return TRUE;
                default:
                    return FALSE;
            }
        case WM_DESTROY:
            EndDialog(dialog, 0);
            return TRUE;
        default:
            return FALSE;
    }
}
