#pragma once
#include "platform/win32.h"

// Body of the streaming thread that SPUopen starts and SPUclose waits for: sleeps 1 ms and runs
// one pass of the sound device, until the stop flag is set.
DWORD WINAPI streamingThreadProc(LPVOID unused);
