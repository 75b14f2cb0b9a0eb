// Window lookup and input for the watcher thread.
#include "dialog_watcher.h"

#include <cstring>

namespace bridge_win32 {

HWND waitForWindow(const char* caption, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < timeoutMs) {
        HWND window = FindWindowA(nullptr, caption);
        if (window != nullptr && IsWindowVisible(window)) return window;
        Sleep(50);
    }
    return nullptr;
}

bool waitForWindowGone(HWND window, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < timeoutMs) {
        if (!IsWindow(window)) return true;
        Sleep(50);
    }
    return false;
}

std::vector<std::string> comboItems(HWND combo) {
    std::vector<std::string> items;
    const LRESULT count = SendMessageA(combo, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        char text[256] = {};
        SendMessageA(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
        items.push_back(text);
    }
    return items;
}

std::string windowText(HWND window) {
    char text[256] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

namespace {

BOOL CALLBACK findStaticText(HWND child, LPARAM found) {
    char className[32] = {};
    GetClassNameA(child, className, sizeof className);
    if (_stricmp(className, "Static") != 0) return TRUE;
    const std::string text = windowText(child);
    if (text.empty()) return TRUE;
    *reinterpret_cast<std::string*>(found) = text;
    return FALSE;
}

struct WatchJob {
    const std::function<void()>* watch;
};

DWORD WINAPI watcherThread(LPVOID parameter) {
    (*static_cast<WatchJob*>(parameter)->watch)();
    return 0;
}

}  // namespace

std::string messageBoxText(HWND box) {
    std::string text;
    EnumChildWindows(box, findStaticText, reinterpret_cast<LPARAM>(&text));
    return text;
}

void click(HWND button) {
    PostMessageA(button, BM_CLICK, 0, 0);
}

void runWithWatcher(const std::function<void()>& modal, const std::function<void()>& watch) {
    WatchJob job{&watch};
    HANDLE thread = CreateThread(nullptr, 0, watcherThread, &job, 0, nullptr);
    modal();
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
}

}  // namespace bridge_win32
