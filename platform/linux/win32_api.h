#pragma once
// The Win32 subset that plug-in code uses, as the Linux layer provides it. Included through
// platform/win32.h only; each part lives in a header of its own.
#include "win32_types.h"

#include "win32_dsound.h"
#include "win32_kernel.h"
#include "win32_messagebox.h"
#include "win32_registry.h"
#include "win32_timer.h"

// Module loading, directory search and the dialog calls come with the CD bridge; the guards keep
// this header usable while either is missing from a checkout.
#if __has_include("win32_loader.h")
#include "win32_loader.h"
#endif
#if __has_include("win32_dialog.h")
#include "win32_dialog.h"
#endif
