#pragma once
// Process-wide state of the sound plug-in: the one lock, the two objects the exports reach, the
// stop flag of the streaming thread and the values the host registers. Everything here lives
// from library load to unload; SPUinit and SPUshutdown create and destroy what it points at.
#include <atomic>
#include <cstdint>

#include "chip.h"
#include "plugin_identity.h"
#include "platform/win32.h"

class SoundDevice;
class HostClock;

// Marks the plug-in's entry points: on Windows the .def file names them, natively the shared
// library is built with hidden visibility and only these are exported.
#ifdef _WIN32
#define SPU_EXPORT extern "C"
#else
#define SPU_EXPORT extern "C" __attribute__((visibility("default")))
#endif

// Result widths as the hosts declare them: 32-bit on Windows; `long`, 64 bits, on Linux, whose
// hosts read the whole register.
#ifdef _WIN32
typedef int32_t SpuResult;
typedef uint32_t SpuWord;
#else
typedef long SpuResult;
typedef unsigned long SpuWord;
#endif

namespace plugin {

// Caption of both message boxes and the answer of PSEgetLibName; one static array, so every call
// hands the host the same pointer.
extern const char kLibraryName[];

struct State {
    // The recursive global lock. lockReady says whether it exists: before SPUinit and after
    // SPUshutdown no entry point may touch it.
    CRITICAL_SECTION lock;
    bool lockReady = false;

    Chip* core = nullptr;           // null before SPUinit, after SPUshutdown, or when new failed
    SoundDevice* device = nullptr;  // likewise
    HostClock* hostClock = nullptr; // spuTarnExact's, likewise; spuTarn has none

    // Written by the host's thread outside the lock and polled by the streaming thread. An
    // atomic byte: a plain one would be a data race, and the compiler could hoist the read out
    // of the loop so that SPUclose waited for ever.
    std::atomic<uint8_t> streamStopRequested{0};

    HANDLE streamThread = nullptr;  // non-null exactly while open with a running thread
    DWORD streamThreadId = 0;       // stored and never used
    // "HighResolutionMode" was exactly 1 when SPUopen started the thread; read by that thread.
    bool streamHighResolution = false;

    // The host's interrupt callback: spuTarn only keeps it, spuTarnExact calls it (HostCall).
    uintptr_t registeredCallback = 0;
    uintptr_t registeredCddaVolume = 0;  // kept, never called
};

State& state();

// Holds the global lock for one entry point, if the lock exists, and gives the core to use, or
// null when there is none (before SPUinit, after SPUshutdown, failed allocation). The lock is
// recursive, so SPUfreeze can hold one of these while SPUplayADPCMchannel takes another.
class CoreLock {
public:
    CoreLock();
    // For the streaming thread: waits for the lock only while `giveUpWhen` stays 0. A host may
    // call SPUclose from a signal handler on a thread that holds the lock inside an entry point
    // (the Linux host does so on SIGINT); that thread cannot leave the lock before SPUclose
    // returns, so a pass that waited for it would never end and SPUclose would wait for ever.
    // When the flag is set before the lock is won, held() is false and the pass makes nothing.
    explicit CoreLock(const std::atomic<uint8_t>& giveUpWhen);
    ~CoreLock();
    CoreLock(const CoreLock&) = delete;
    CoreLock& operator=(const CoreLock&) = delete;

    Chip* core() const { return core_; }
    bool held() const { return held_; }
    // Leaves the lock before the end of the scope; core() is null from here on.
    void leave();

private:
    void enter();
    bool held_ = false;
    Chip* core_ = nullptr;
};

// True on a thread that holds the global lock inside an entry point, which is where a host's
// signal handler finds it when it interrupts that entry point: the frame below still uses the
// core, so nothing may free it from here.
bool insideLockedCall();

}  // namespace plugin
