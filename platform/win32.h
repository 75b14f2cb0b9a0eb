#pragma once
// The one header through which plug-in code reaches the operating system. On Windows it is the
// real API; on Linux the layer in platform/linux/ declares and implements the small subset these
// plug-ins use, so the same plug-in code builds, runs and ships there.
#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <mmsystem.h>
#include <dsound.h>
#else
#include "linux/win32_api.h"
#endif
