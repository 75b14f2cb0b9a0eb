#pragma once
// Modal dialogs of the Linux layer: Linux shows no Win32 dialog, so a dialog runs only through a
// hook that its tests install (via platform/sim/sim.h); without one it closes right after
// WM_INITDIALOG. The CD bridge, whose Linux build exists for its tests, is the only user.
#include <functional>
#include <string>
#include <vector>

#include "loader_records.h"
#include "win32_types.h"

namespace linux_platform {

// Called by DialogBoxParamA with the dialog after WM_INITDIALOG has been delivered; the test
// sends messages to the dialog (SendMessageA, or the helpers below) and reads its controls.
// When the hook returns and the dialog has not been ended, the layer closes the window as
// the system would (WM_DESTROY). Without a hook the dialog is closed right after WM_INITDIALOG.
using DialogHook = std::function<void(HWND dialog)>;
void setDialogHook(DialogHook hook);
void clearDialogHook();

// What each DialogBoxParamA call was given and how it ended, since the last clear.
struct DialogRecord {
    HINSTANCE instance = nullptr;
    uintptr_t templateId = 0;  // the MAKEINTRESOURCE value
    HWND parent = nullptr;
    LPARAM initParam = 0;
    INT_PTR result = -1;
    bool initResult = false;  // what the procedure returned for WM_INITDIALOG
};
std::vector<DialogRecord> dialogsShown();
void clearDialogs();

// Queries on the open dialog's controls.
std::vector<std::string> dialogComboItems(HWND dialog, int id);
int dialogComboSelection(HWND dialog, int id);  // CB_ERR when nothing is selected
bool dialogItemEnabled(HWND dialog, int id);
bool dialogEnded(HWND dialog);

// Input as the system would deliver it: a button click (WM_COMMAND, BN_CLICKED = 0, the
// button's window), Enter (IDOK) and Escape (IDCANCEL) from the dialog manager. Each returns
// what the dialog procedure returned.
INT_PTR dialogClick(HWND dialog, int id);
INT_PTR dialogPressEnter(HWND dialog);
INT_PTR dialogPressEscape(HWND dialog);

}  // namespace linux_platform
