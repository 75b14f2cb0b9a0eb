// Threads of the Linux layer: std::thread behind Windows thread handles, plus the records of
// linux_platform::threadsCreated(). A plug-in's threads never take the host's asynchronous
// signals: the host's handlers (SIGINT on the Linux host, which closes the plug-in) must run on
// the host's own threads, not on a streaming thread that SPUclose would then wait for.
#include <signal.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform_records.h"
#include "thread_ids.h"
#include "win32_kernel.h"

namespace {

struct ThreadObject {
    std::thread thread;        // joined or detached by CloseHandle, under handlesMutex
    std::mutex mutex;          // guards the fields below
    std::condition_variable ended;
    bool done = false;
    DWORD exitCode = STILL_ACTIVE;
    int priority = THREAD_PRIORITY_NORMAL;
    pid_t kernelId = 0;        // the thread's own id for setpriority, once it runs
    DWORD id = 0;
    size_t recordIndex = 0;    // into records, valid while recordGeneration matches
    uint64_t recordGeneration = 0;

    ThreadObject() = default;
    ThreadObject(const ThreadObject&) = delete;
    ThreadObject& operator=(const ThreadObject&) = delete;
    // A handle never closed (a plug-in that left its thread running at shutdown) is destroyed
    // with the handle map at exit; a joinable std::thread would call std::terminate there.
    ~ThreadObject() {
        if (thread.joinable()) thread.detach();
    }
};

// Handles are the addresses of their objects; the map tells which addresses are live handles,
// so a stale or foreign handle is refused instead of dereferenced.
std::mutex handlesMutex;
std::map<HANDLE, std::shared_ptr<ThreadObject>> handles;

std::mutex recordsMutex;
std::vector<linux_platform::ThreadRecord> records;
uint64_t generation = 1;

std::shared_ptr<ThreadObject> lookUp(HANDLE handle) {
    std::lock_guard<std::mutex> lock(handlesMutex);
    auto it = handles.find(handle);
    return it == handles.end() ? nullptr : it->second;
}

template <typename Change>
void updateRecord(const ThreadObject& object, Change change) {
    std::lock_guard<std::mutex> lock(recordsMutex);
    if (object.recordGeneration == generation && object.recordIndex < records.size())
        change(records[object.recordIndex]);
}

// Windows priority levels as Linux nice values. Raising a thread needs CAP_SYS_NICE (or an
// RLIMIT_NICE allowance); without it the thread keeps the host's nice value, which is what a
// thread without the privilege gets on Windows too when the system says no. The streaming
// thread asks for ABOVE_NORMAL so that a busy machine delays its 1 ms passes less.
int niceValueFor(int priority) {
    switch (priority) {
    case THREAD_PRIORITY_IDLE: return 19;
    case THREAD_PRIORITY_LOWEST: return 10;
    case THREAD_PRIORITY_BELOW_NORMAL: return 5;
    case THREAD_PRIORITY_ABOVE_NORMAL: return -5;
    case THREAD_PRIORITY_HIGHEST: return -10;
    case THREAD_PRIORITY_TIME_CRITICAL: return -15;
    default: return 0;
    }
}

// Called with the object's mutex held, once both the priority and the kernel id are known.
void applyPriorityLocked(const ThreadObject& object) {
    if (object.kernelId == 0 || object.priority == THREAD_PRIORITY_NORMAL) return;
    setpriority(PRIO_PROCESS, static_cast<id_t>(object.kernelId), niceValueFor(object.priority));
}

bool isValidPriority(int priority) {
    switch (priority) {
    case THREAD_PRIORITY_IDLE:
    case THREAD_PRIORITY_LOWEST:
    case THREAD_PRIORITY_BELOW_NORMAL:
    case THREAD_PRIORITY_NORMAL:
    case THREAD_PRIORITY_ABOVE_NORMAL:
    case THREAD_PRIORITY_HIGHEST:
    case THREAD_PRIORITY_TIME_CRITICAL:
        return true;
    default:
        return false;
    }
}

void runThread(std::shared_ptr<ThreadObject> object, LPTHREAD_START_ROUTINE start,
               LPVOID parameter) {
    linux_platform::detail::adoptThreadId(object->id);
    {
        std::lock_guard<std::mutex> lock(object->mutex);
        object->kernelId = static_cast<pid_t>(syscall(SYS_gettid));
        applyPriorityLocked(*object);  // a SetThreadPriority that came before the thread ran
    }
    const DWORD result = start(parameter);
    updateRecord(*object, [](linux_platform::ThreadRecord& record) { record.finished = true; });
    std::lock_guard<std::mutex> lock(object->mutex);
    object->done = true;
    object->exitCode = result;
    object->ended.notify_all();
}

}  // namespace

HANDLE WINAPI CreateThread(LPSECURITY_ATTRIBUTES, SIZE_T, LPTHREAD_START_ROUTINE start,
                           LPVOID parameter, DWORD creationFlags, LPDWORD threadId) {
    if (start == nullptr || (creationFlags & CREATE_SUSPENDED) != 0) return nullptr;
    auto object = std::make_shared<ThreadObject>();
    object->id = linux_platform::detail::allocateThreadId();
    {
        std::lock_guard<std::mutex> lock(recordsMutex);
        object->recordIndex = records.size();
        object->recordGeneration = generation;
        linux_platform::ThreadRecord record;
        record.id = object->id;
        records.push_back(record);
    }
    const HANDLE handle = object.get();
    {
        // The handle is registered before the thread runs, so nothing the thread does can race
        // with the registration, and the std::thread member is written under the same lock
        // that CloseHandle reads it under.
        std::lock_guard<std::mutex> lock(handlesMutex);
        handles[handle] = object;
        // The new thread inherits the mask, so no signal can reach it before it runs.
        sigset_t hostSignals;
        sigset_t previous;
        sigemptyset(&hostSignals);
        for (int signal : {SIGHUP, SIGINT, SIGQUIT, SIGTERM, SIGPIPE, SIGALRM, SIGCHLD, SIGUSR1,
                           SIGUSR2, SIGWINCH, SIGVTALRM, SIGPROF})
            sigaddset(&hostSignals, signal);
        pthread_sigmask(SIG_BLOCK, &hostSignals, &previous);
        object->thread = std::thread(runThread, object, start, parameter);
        pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    }
    if (threadId != nullptr) *threadId = object->id;
    return handle;
}

BOOL WINAPI SetThreadPriority(HANDLE thread, int priority) {
    auto object = lookUp(thread);
    if (!object || !isValidPriority(priority)) return FALSE;
    {
        std::lock_guard<std::mutex> lock(object->mutex);
        object->priority = priority;
        if (!object->done) applyPriorityLocked(*object);
    }
    updateRecord(*object, [priority](linux_platform::ThreadRecord& record) { record.priority = priority; });
    return TRUE;
}

int WINAPI GetThreadPriority(HANDLE thread) {
    auto object = lookUp(thread);
    if (!object) return 0x7FFFFFFF;  // THREAD_PRIORITY_ERROR_RETURN
    std::lock_guard<std::mutex> lock(object->mutex);
    return object->priority;
}

BOOL WINAPI GetExitCodeThread(HANDLE thread, LPDWORD exitCode) {
    auto object = lookUp(thread);
    if (!object || exitCode == nullptr) return FALSE;
    std::lock_guard<std::mutex> lock(object->mutex);
    *exitCode = object->exitCode;
    return TRUE;
}

DWORD WINAPI WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
    auto object = lookUp(handle);
    if (!object) return WAIT_FAILED;
    std::unique_lock<std::mutex> lock(object->mutex);
    auto isDone = [&object] { return object->done; };
    if (milliseconds == INFINITE) {
        object->ended.wait(lock, isDone);
        return WAIT_OBJECT_0;
    }
    return object->ended.wait_for(lock, std::chrono::milliseconds(milliseconds), isDone)
               ? WAIT_OBJECT_0
               : WAIT_TIMEOUT;
}

BOOL WINAPI CloseHandle(HANDLE handle) {
    std::shared_ptr<ThreadObject> object;
    {
        std::lock_guard<std::mutex> lock(handlesMutex);
        auto it = handles.find(handle);
        if (it == handles.end()) return FALSE;
        object = it->second;
        handles.erase(it);
        bool done;
        {
            std::lock_guard<std::mutex> objectLock(object->mutex);
            done = object->done;
        }
        // A thread that has returned is joined (it is about to exit, so this does not block
        // for long) so that its end is ordered before whatever the closer does next; one that
        // still runs goes on by itself, as a Windows thread does after its handle is closed.
        if (done)
            object->thread.join();
        else
            object->thread.detach();
    }
    return TRUE;
}

namespace linux_platform {

std::vector<ThreadRecord> threadsCreated() {
    std::lock_guard<std::mutex> lock(recordsMutex);
    return records;
}

void threadsReset() {
    std::lock_guard<std::mutex> lock(recordsMutex);
    records.clear();
    ++generation;
}

}  // namespace linux_platform
