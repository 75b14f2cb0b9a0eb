// Critical sections, sleeping and thread ids of the Linux layer.
#include "win32_kernel.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <new>
#include <thread>

#include "thread_ids.h"

namespace {

// Entering a section that was never initialised, or has been deleted, is undefined on Windows and
// usually a crash some time later; here it stops the process at once with a message, so that a
// test shows the fault where it happens.
std::recursive_mutex& mutexOf(LPCRITICAL_SECTION section, const char* operation) {
    if (section == nullptr || section->mutex == nullptr) {
        std::fprintf(stderr, "spuTarn platform: %s on a critical section that is not initialised\n",
                     operation);
        std::abort();
    }
    return *static_cast<std::recursive_mutex*>(section->mutex);
}

std::atomic<DWORD> nextThreadId{0x100};
thread_local DWORD currentThreadId = 0;

}  // namespace

void WINAPI InitializeCriticalSection(LPCRITICAL_SECTION section) {
    section->mutex = new std::recursive_mutex;
}

void WINAPI EnterCriticalSection(LPCRITICAL_SECTION section) {
    mutexOf(section, "EnterCriticalSection").lock();
}

BOOL WINAPI TryEnterCriticalSection(LPCRITICAL_SECTION section) {
    return mutexOf(section, "TryEnterCriticalSection").try_lock() ? TRUE : FALSE;
}

void WINAPI LeaveCriticalSection(LPCRITICAL_SECTION section) {
    mutexOf(section, "LeaveCriticalSection").unlock();
}

void WINAPI DeleteCriticalSection(LPCRITICAL_SECTION section) {
    delete &mutexOf(section, "DeleteCriticalSection");
    section->mutex = nullptr;
}

void WINAPI Sleep(DWORD milliseconds) {
    if (milliseconds == 0) {
        std::this_thread::yield();  // Sleep(0) gives up the rest of the time slice
        return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

DWORD WINAPI GetCurrentThreadId(void) {
    if (currentThreadId == 0) currentThreadId = linux_platform::detail::allocateThreadId();
    return currentThreadId;
}

namespace linux_platform::detail {

DWORD allocateThreadId() { return nextThreadId.fetch_add(1, std::memory_order_relaxed); }

void adoptThreadId(DWORD id) { currentThreadId = id; }

}  // namespace linux_platform::detail
