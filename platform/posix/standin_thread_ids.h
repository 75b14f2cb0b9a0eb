#pragma once
// Thread ids shared by the stand-in's kernel parts: CreateThread hands out an id before the
// thread starts, and the new thread adopts it, so GetCurrentThreadId inside it agrees.
#include "win32_types.h"

namespace standin::detail {

DWORD allocateThreadId();
void adoptThreadId(DWORD id);

}  // namespace standin::detail
