// Driver discovery: every "*.dll" in the PSEMU directory beside the bridge is loaded into the
// dialog's slot, asked what kind of library it is, listed when it is a CD-ROM driver, and
// unloaded again whatever it turned out to be.
#include "driver_discovery.h"

#include <cstdio>
#include <cstring>

#include "bridge_state.h"
#include "dialog_ids.h"

namespace {

// Appends the library in the slot to the table and the list when it declares itself a CD-ROM
// driver. A library without its identity entry points cannot say what it is and is passed over.
void considerLibrary(const CdrDriver& library, HWND list, const char* fileName) {
    if (library.PSEgetLibType == nullptr || library.PSEgetLibName == nullptr ||
        library.PSEgetLibVersion == nullptr) {
        return;
    }
    if (library.PSEgetLibType() != kLibraryTypeCdr) return;

    std::memcpy(DriverList[driverCount], fileName, std::strlen(fileName) + 1);
    const uint32_t version = library.PSEgetLibVersion();
    const char* name = library.PSEgetLibName();
    // Version: major in bits 8 to 15, minor in bits 0 to 7; the top half is not shown.
    char text[kPathSize];
    std::snprintf(text, sizeof text, "%s %d.%d", name != nullptr ? name : "",
                  static_cast<int>((version >> 8) & 0xFFu), static_cast<int>(version & 0xFFu));
    SendMessageA(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    ++driverCount;
}

}  // namespace

void DiscoverDrivers(HWND dialog) {
    driverCount = 0;
    // The bridge's own directory, whatever CD_Open or a thread start last put in the shared
    // string.
    char bridgeDirectory[kPathSize];
    if (!ModuleDirectory(moduleHandle, bridgeDirectory)) return;
    char pattern[kPathSize];
    if (!JoinPath(pattern, bridgeDirectory, "PSEMU\\*.dll")) return;

    WIN32_FIND_DATAA entry;
    const HANDLE search = FindFirstFileA(pattern, &entry);
    if (search == INVALID_HANDLE_VALUE) return;
    const HWND list = GetDlgItem(dialog, IDC_DRIVER_LIST);
    do {
        // The table is full: the first drivers found are the ones listed.
        if (driverCount >= kMaxDrivers) break;
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) continue;
        // A name that does not fit a table entry could not be stored for CD_Open to find.
        if (std::strlen(entry.cFileName) >= kDriverNameSize) continue;
        char path[kPathSize];
        if (!JoinPath(path, bridgeDirectory, "PSEMU\\", entry.cFileName)) continue;
        CdrDriver library;
        if (LoadCdrDriver(library, path) != 0) continue;
        considerLibrary(library, list, entry.cFileName);
        UnloadCdrDriver(library);
    } while (FindNextFileA(search, &entry));
    FindClose(search);
}
