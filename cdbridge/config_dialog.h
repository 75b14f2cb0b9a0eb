#pragma once
// The driver-selection dialog (resource 101) shown by CD_Configure.
#include <cstdint>

#include "platform/win32.h"

INT_PTR CALLBACK ConfigDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// The message the Test button shows for a driver's CDRtest result.
const char* DriverTestText(int32_t result);
