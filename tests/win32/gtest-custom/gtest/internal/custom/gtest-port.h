#pragma once
// gtest's hook for platform overrides, found ahead of the stock (empty) one. Debian's mingw
// compiler uses the win32 thread model, whose libstdc++ has no std::mutex or
// std::condition_variable; gtest uses them only for its Notification, given here over a
// manual-reset Win32 event.
#include <windows.h>

#define GTEST_HAS_NOTIFICATION_ 1

namespace testing {
namespace internal {

class Notification {
public:
    Notification() : event_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}
    ~Notification() { CloseHandle(event_); }
    Notification(const Notification&) = delete;
    Notification& operator=(const Notification&) = delete;

    void Notify() { SetEvent(event_); }
    void WaitForNotification() { WaitForSingleObject(event_, INFINITE); }

private:
    HANDLE event_;
};

}  // namespace internal
}  // namespace testing
