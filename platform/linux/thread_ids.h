#pragma once
// Thread ids shared by the kernel parts: CreateThread hands out an id before the
// thread starts, and the new thread adopts it, so GetCurrentThreadId inside it agrees.
#include "win32_types.h"

namespace linux_platform::detail {

DWORD allocateThreadId();
void adoptThreadId(DWORD id);

}  // namespace linux_platform::detail
