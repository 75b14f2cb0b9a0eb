#pragma once
// Lists the CD-ROM drivers installed in the bridge's PSEMU directory.
#include "platform/win32.h"

// Rebuilds DriverList and the dialog's driver list (control 1003) from empty, in the order the
// directory search returns the files.
void DiscoverDrivers(HWND dialog);
