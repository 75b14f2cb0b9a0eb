// Critical sections, threads and the small services around them: the behaviour the plug-in's
// lock and streaming thread rely on.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "sim/sim.h"
#include "win32.h"

namespace {

DWORD WINAPI returnParameter(LPVOID parameter) {
    return static_cast<DWORD>(reinterpret_cast<uintptr_t>(parameter));
}

DWORD WINAPI waitForRelease(LPVOID parameter) {
    auto* release = static_cast<std::atomic<bool>*>(parameter);
    while (!release->load()) Sleep(1);
    return GetCurrentThreadId();
}

}  // namespace

TEST(CriticalSection, IsRecursiveForItsOwnerAndExcludesOthers) {
    CRITICAL_SECTION section;
    InitializeCriticalSection(&section);
    EnterCriticalSection(&section);
    EnterCriticalSection(&section);  // the owner enters again, as a freeze replaying CD audio does
    auto tryFromAnotherThread = [&section] {
        BOOL entered = FALSE;
        std::thread other([&] {
            entered = TryEnterCriticalSection(&section);
            if (entered) LeaveCriticalSection(&section);
        });
        other.join();
        return entered;
    };
    EXPECT_FALSE(tryFromAnotherThread());
    LeaveCriticalSection(&section);
    EXPECT_FALSE(tryFromAnotherThread());  // still held once
    LeaveCriticalSection(&section);
    EXPECT_TRUE(tryFromAnotherThread());
    DeleteCriticalSection(&section);
    EXPECT_EQ(section.mutex, nullptr);
}

TEST(CriticalSectionDeathTest, UseAfterDeleteStopsTheProcess) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");  // other tests leave threads behind
    CRITICAL_SECTION section;
    InitializeCriticalSection(&section);
    DeleteCriticalSection(&section);
    EXPECT_DEATH(EnterCriticalSection(&section), "not initialised");
}

TEST(Thread, WaitTimesOutWhileRunningAndSucceedsOnceEnded) {
    sim::threadsReset();
    std::atomic<bool> release{false};
    DWORD id = 0;
    HANDLE thread = CreateThread(nullptr, 0, waitForRelease, &release, 0, &id);
    ASSERT_NE(thread, nullptr);
    EXPECT_NE(id, 0u);
    ASSERT_TRUE(SetThreadPriority(thread, THREAD_PRIORITY_ABOVE_NORMAL));
    EXPECT_EQ(GetThreadPriority(thread), THREAD_PRIORITY_ABOVE_NORMAL);
    EXPECT_FALSE(SetThreadPriority(thread, 7));  // not a Windows priority level

    EXPECT_EQ(WaitForSingleObject(thread, 10), WAIT_TIMEOUT);
    DWORD exitCode = 0;
    ASSERT_TRUE(GetExitCodeThread(thread, &exitCode));
    EXPECT_EQ(exitCode, STILL_ACTIVE);
    std::vector<sim::ThreadRecord> records = sim::threadsCreated();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].priority, THREAD_PRIORITY_ABOVE_NORMAL);
    EXPECT_FALSE(records[0].finished);

    release.store(true);
    EXPECT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
    ASSERT_TRUE(GetExitCodeThread(thread, &exitCode));
    EXPECT_EQ(exitCode, id);  // the thread saw the id CreateThread reported
    records = sim::threadsCreated();
    EXPECT_TRUE(records[0].finished);
    EXPECT_EQ(records[0].id, id);

    EXPECT_TRUE(CloseHandle(thread));
    EXPECT_FALSE(CloseHandle(thread));
    EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_FAILED);
}

TEST(Thread, HandleMayBeClosedWhileTheThreadRuns) {
    sim::threadsReset();
    HANDLE first = CreateThread(nullptr, 0, returnParameter, reinterpret_cast<LPVOID>(42), 0, nullptr);
    ASSERT_NE(first, nullptr);
    ASSERT_EQ(WaitForSingleObject(first, INFINITE), WAIT_OBJECT_0);
    DWORD exitCode = 0;
    ASSERT_TRUE(GetExitCodeThread(first, &exitCode));
    EXPECT_EQ(exitCode, 42u);
    EXPECT_TRUE(CloseHandle(first));

    std::atomic<bool> release{false};
    HANDLE second = CreateThread(nullptr, 0, waitForRelease, &release, 0, nullptr);
    EXPECT_TRUE(CloseHandle(second));  // it runs on without a handle
    release.store(true);
    for (int i = 0; i < 5000 && !sim::threadsCreated()[1].finished; ++i) Sleep(1);
    EXPECT_TRUE(sim::threadsCreated()[1].finished);
    EXPECT_EQ(CreateThread(nullptr, 0, returnParameter, nullptr, CREATE_SUSPENDED, nullptr), nullptr);
}

TEST(Timer, CallsAreCounted) {
    sim::timerReset();
    EXPECT_EQ(timeBeginPeriod(1), TIMERR_NOERROR);
    EXPECT_EQ(timeBeginPeriod(0), TIMERR_NOCANDO);
    EXPECT_EQ(timeEndPeriod(1), TIMERR_NOERROR);
    EXPECT_EQ(sim::timeBeginPeriodCalls(), 2);
    EXPECT_EQ(sim::timeEndPeriodCalls(), 1);
    sim::dsoundReset();  // resets the timer counts too
    EXPECT_EQ(sim::timeBeginPeriodCalls(), 0);
}

TEST(MessageBox, IsRecordedAndAnsweredWithOk) {
    sim::clearMessageBoxes();
    EXPECT_EQ(MessageBoxA(nullptr, "Edit Registry.", "Caption", MB_OK | MB_TOPMOST | MB_TASKMODAL), IDOK);
    EXPECT_EQ(MessageBoxA(nullptr, nullptr, nullptr, MB_OK), IDOK);
    const std::vector<sim::MessageBoxRecord> boxes = sim::messageBoxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].owner, nullptr);
    EXPECT_EQ(boxes[0].text, "Edit Registry.");
    EXPECT_EQ(boxes[0].caption, "Caption");
    EXPECT_EQ(boxes[0].type, 0x00042000u);
    EXPECT_EQ(boxes[1].text, "");
    EXPECT_EQ(boxes[1].caption, "Error");
    sim::clearMessageBoxes();
    EXPECT_TRUE(sim::messageBoxes().empty());
}
