#pragma once
// Kernel subset of the Linux layer: critical sections, threads, waiting and sleeping.
// A critical section is a recursive mutex, as on Windows, where the owning thread may enter
// again; a thread handle is a kernel object that can be waited on until the thread returns and
// must be closed with CloseHandle, whether or not the thread has ended.
#include "win32_types.h"

// Thread priorities as SetThreadPriority takes them.
#define THREAD_PRIORITY_IDLE (-15)
#define THREAD_PRIORITY_LOWEST (-2)
#define THREAD_PRIORITY_BELOW_NORMAL (-1)
#define THREAD_PRIORITY_NORMAL 0
#define THREAD_PRIORITY_ABOVE_NORMAL 1
#define THREAD_PRIORITY_HIGHEST 2
#define THREAD_PRIORITY_TIME_CRITICAL 15

#define INFINITE 0xFFFFFFFFu
#define WAIT_OBJECT_0 0x00000000u
#define WAIT_TIMEOUT 258u
#define WAIT_FAILED 0xFFFFFFFFu

// Creation flag; the Linux layer refuses it (CreateThread returns null), since nothing here
// resumes threads and a silently running "suspended" thread would be worse than a failure.
#define CREATE_SUSPENDED 0x00000004u

// Storage for one recursive mutex. Initialise before use and delete exactly once, as on Windows.
typedef struct _CRITICAL_SECTION {
    void* mutex;  // a heap std::recursive_mutex, owned between Initialize and Delete
} CRITICAL_SECTION, *PCRITICAL_SECTION, *LPCRITICAL_SECTION;

void WINAPI InitializeCriticalSection(LPCRITICAL_SECTION section);
void WINAPI EnterCriticalSection(LPCRITICAL_SECTION section);
BOOL WINAPI TryEnterCriticalSection(LPCRITICAL_SECTION section);
void WINAPI LeaveCriticalSection(LPCRITICAL_SECTION section);
void WINAPI DeleteCriticalSection(LPCRITICAL_SECTION section);

typedef DWORD(WINAPI* LPTHREAD_START_ROUTINE)(LPVOID parameter);

// Starts `start(parameter)` at once (flags 0) on a new thread; security and stack size are
// ignored. Returns the thread's handle and stores its id in *threadId when that is not null.
HANDLE WINAPI CreateThread(LPSECURITY_ATTRIBUTES security, SIZE_T stackSize,
                           LPTHREAD_START_ROUTINE start, LPVOID parameter, DWORD creationFlags,
                           LPDWORD threadId);
// Sets the thread's nice value (ABOVE_NORMAL: -5; see win32_thread.cpp) where the process may
// raise it, and records the priority (linux_platform::threadsCreated) in any case.
BOOL WINAPI SetThreadPriority(HANDLE thread, int priority);
int WINAPI GetThreadPriority(HANDLE thread);
// Exit code of a thread: STILL_ACTIVE while it runs.
#define STILL_ACTIVE 259u
BOOL WINAPI GetExitCodeThread(HANDLE thread, LPDWORD exitCode);
DWORD WINAPI GetCurrentThreadId(void);

// Waits for a thread handle to be signalled (the thread has returned): WAIT_OBJECT_0, or
// WAIT_TIMEOUT after `milliseconds` (INFINITE: no limit); WAIT_FAILED for an invalid handle.
DWORD WINAPI WaitForSingleObject(HANDLE handle, DWORD milliseconds);
// Frees a thread handle; the thread itself runs on if it has not ended.
BOOL WINAPI CloseHandle(HANDLE handle);

void WINAPI Sleep(DWORD milliseconds);
