#pragma once
// Dismisses one message box from a second thread, as a user would, so that an export that shows
// a modal box (SPUabout, SPUconfigure) returns inside a headless test run under Xvfb.
#include <windows.h>

#include <functional>
#include <string>

namespace spu_wine {

class MessageBoxWatcher {
public:
    // Starts looking for a dialog-class window ("#32770") with this caption at once.
    // onShown runs on the watcher thread while the box is up, before it is dismissed.
    explicit MessageBoxWatcher(const char* caption, std::function<void()> onShown = {},
                               DWORD timeoutMs = 15000);
    ~MessageBoxWatcher();
    MessageBoxWatcher(const MessageBoxWatcher&) = delete;
    MessageBoxWatcher& operator=(const MessageBoxWatcher&) = delete;

    // Waits for the watcher thread (it ends after dismissing the box or at its time-out).
    void join();

    bool found() const { return found_; }
    const std::string& text() const { return text_; }
    LONG exStyle() const { return exStyle_; }

private:
    static DWORD WINAPI threadProc(void* self);
    void run();

    std::string caption_;
    std::function<void()> onShown_;
    DWORD timeoutMs_;
    HANDLE thread_ = nullptr;
    bool found_ = false;
    std::string text_;
    LONG exStyle_ = 0;
};

}  // namespace spu_wine
