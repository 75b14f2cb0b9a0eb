#pragma once
// A thread that plays the user while CD_Configure runs its modal dialog on the test's thread:
// it finds the dialog by caption, reads its controls and clicks its buttons. Clicks are posted,
// never sent: a button whose handler opens a message box would otherwise block the watcher
// until that box is dismissed.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace bridge_win32 {

constexpr const char* kDialogCaption = "CdrFerro Configuration";

// Polls for a top-level window with this caption; null after `timeoutMs`.
HWND waitForWindow(const char* caption, DWORD timeoutMs = 15000);
bool waitForWindowGone(HWND window, DWORD timeoutMs = 15000);

std::vector<std::string> comboItems(HWND combo);
std::string windowText(HWND window);
// The text of a message box: its non-empty static control.
std::string messageBoxText(HWND box);
void click(HWND button);

// Runs `watch` on a thread of its own while `modal` runs on this one; returns when both are done.
void runWithWatcher(const std::function<void()>& modal, const std::function<void()>& watch);

}  // namespace bridge_win32
