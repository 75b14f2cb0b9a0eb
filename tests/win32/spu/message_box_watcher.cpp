#include "message_box_watcher.h"

#include <utility>

namespace spu_wine {

namespace {
// A message box's text is the static control with this id, in Windows and in Wine alike.
constexpr int kMessageBoxTextId = 0xFFFF;
}

MessageBoxWatcher::MessageBoxWatcher(const char* caption, std::function<void()> onShown,
                                     DWORD timeoutMs)
    : caption_(caption), onShown_(std::move(onShown)), timeoutMs_(timeoutMs) {
    thread_ = CreateThread(nullptr, 0, &MessageBoxWatcher::threadProc, this, 0, nullptr);
}

MessageBoxWatcher::~MessageBoxWatcher() { join(); }

void MessageBoxWatcher::join() {
    if (thread_ == nullptr) return;
    WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
    thread_ = nullptr;
}

DWORD WINAPI MessageBoxWatcher::threadProc(void* self) {
    static_cast<MessageBoxWatcher*>(self)->run();
    return 0;
}

void MessageBoxWatcher::run() {
    const DWORD start = GetTickCount();
    HWND box = nullptr;
    while (box == nullptr && GetTickCount() - start < timeoutMs_) {
        box = FindWindowA("#32770", caption_.c_str());
        if (box == nullptr) Sleep(20);
    }
    if (box == nullptr) return;
    found_ = true;
    // The box may still be laying itself out: wait until its text control exists.
    char buffer[1024] = {};
    for (int tries = 0; tries < 100; ++tries) {
        if (GetDlgItemTextA(box, kMessageBoxTextId, buffer, sizeof buffer) > 0) break;
        Sleep(20);
    }
    text_ = buffer;
    // Read the style once the box has finished its set-up and shows.
    for (int tries = 0; tries < 50 && !IsWindowVisible(box); ++tries) Sleep(20);
    exStyle_ = GetWindowLongA(box, GWL_EXSTYLE);
    if (onShown_) onShown_();
    // Press OK the way a click does; WM_COMMAND IDOK as a fallback if the button is not found.
    HWND ok = GetDlgItem(box, IDOK);
    if (ok != nullptr)
        PostMessageA(ok, BM_CLICK, 0, 0);
    else
        PostMessageA(box, WM_COMMAND, IDOK, 0);
    // Make sure it went away; repeat the fallback if it did not.
    for (int tries = 0; tries < 100 && IsWindow(box) && IsWindowVisible(box); ++tries) {
        Sleep(20);
        if (tries % 25 == 24) PostMessageA(box, WM_COMMAND, IDOK, 0);
    }
}

}  // namespace spu_wine
