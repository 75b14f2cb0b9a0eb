#pragma once
// What the Linux platform layer was asked to do, kept for anyone who wants to look: the threads
// it started (with the priority the plug-in asked for, which Linux does not grant to an ordinary
// user), the message boxes it showed on standard error, and the timer-resolution requests that
// Linux has no use for. Cheap records; the plug-in tests read them through platform/sim/sim.h.
#include <string>
#include <vector>

#include "win32_types.h"

namespace linux_platform {

// ---- Threads --------------------------------------------------------------------------------
struct ThreadRecord {
    int priority = 0;                  // last SetThreadPriority value
    bool finished = false;
    DWORD id = 0;                      // as CreateThread reported it
};
std::vector<ThreadRecord> threadsCreated();  // in creation order, since the last reset
void threadsReset();

// ---- Message boxes --------------------------------------------------------------------------
struct MessageBoxRecord {
    HWND owner = nullptr;
    std::string text;
    std::string caption;
    UINT type = 0;
};
std::vector<MessageBoxRecord> messageBoxes();
void clearMessageBoxes();

// ---- Multimedia timer -----------------------------------------------------------------------
int timeBeginPeriodCalls();
int timeEndPeriodCalls();
void timerReset();

}  // namespace linux_platform
