#pragma once
// Multimedia timer subset of the Linux layer. Linux sleeps already have fine granularity, so
// raising the timer resolution only counts the calls, which the tests compare.
#include "win32_types.h"

typedef UINT MMRESULT;

#define TIMERR_NOERROR 0u
#define TIMERR_BASE 96u
#define TIMERR_NOCANDO (TIMERR_BASE + 1u)

// Periods of 1 ms or more succeed; 0 returns TIMERR_NOCANDO, as on Windows.
MMRESULT WINAPI timeBeginPeriod(UINT periodMs);
MMRESULT WINAPI timeEndPeriod(UINT periodMs);
// Milliseconds of a monotonic clock, wrapping at 2^32 like the Windows call.
DWORD WINAPI timeGetTime(void);
