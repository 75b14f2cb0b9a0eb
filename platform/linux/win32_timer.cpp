// Multimedia timer calls of the Linux layer: counted, otherwise without effect, because the
// Linux scheduler already wakes a 1 ms sleep after about 1 ms.
#include "win32_timer.h"

#include <atomic>
#include <chrono>

#include "platform_records.h"

namespace {
std::atomic<int> beginCalls{0};
std::atomic<int> endCalls{0};
}  // namespace

MMRESULT WINAPI timeBeginPeriod(UINT periodMs) {
    beginCalls.fetch_add(1);
    return periodMs == 0 ? TIMERR_NOCANDO : TIMERR_NOERROR;
}

MMRESULT WINAPI timeEndPeriod(UINT periodMs) {
    endCalls.fetch_add(1);
    return periodMs == 0 ? TIMERR_NOCANDO : TIMERR_NOERROR;
}

DWORD WINAPI timeGetTime(void) {
    const auto sinceEpoch = std::chrono::steady_clock::now().time_since_epoch();
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(sinceEpoch).count();
    return static_cast<DWORD>(static_cast<uint64_t>(ms));  // wraps at 2^32 like the real call
}

namespace linux_platform {

int timeBeginPeriodCalls() { return beginCalls.load(); }
int timeEndPeriodCalls() { return endCalls.load(); }

void timerReset() {
    beginCalls.store(0);
    endCalls.store(0);
}

}  // namespace linux_platform
