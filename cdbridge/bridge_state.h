#pragma once
// Module globals of the bridge. Everything runs on the host's thread, so none of this is
// locked; the host never calls two entry points at once.
#include <cstddef>
#include <cstdint>

#include "driver_slot.h"
#include "host_record.h"
#include "platform/win32.h"

// Paths, the base directory and formatted texts live in buffers of this size.
constexpr size_t kPathSize = 256;
// Installed-driver table: file names without directory, NUL-terminated.
constexpr uint32_t kMaxDrivers = 16;
constexpr size_t kDriverNameSize = 32;

extern HMODULE moduleHandle;           // the bridge's own module, from the entry routine
// A module's directory, through its last backslash: the bridge's own after any entry-routine
// notification, the host's after CD_Open. Written by any thread; never read to build a path.
extern char baseDirectory[kPathSize];
extern uint32_t driverOpen;            // 1 between a successful CD_Open and CD_Close
extern HostInfoRecord* hostRecord;     // saved by CD_Configure for the dialog
extern char DriverList[kMaxDrivers][kDriverNameSize];
extern uint32_t driverCount;

// The driver the host plays from. The dialog loads drivers into slots of its own (one per
// button click), so that listing drivers or running one's configure, test or about never
// disturbs an open driver.
extern CdrDriver openDriver;

// Fills `out` (kPathSize bytes) with the module's directory. False, with `out` emptied, when the
// name does not fit in kPathSize bytes: a cut-off directory would name some other place.
bool ModuleDirectory(HMODULE module, char* out);
// The same into the shared baseDirectory, as the entry routine and CD_Open leave it.
bool ComputeBaseDirectory(HMODULE module);

// Concatenates up to three strings into `out` (kPathSize bytes). False, with `out` emptied,
// when the result would not fit: a truncated path could load the wrong library.
bool JoinPath(char* out, const char* first, const char* second, const char* third = "");
