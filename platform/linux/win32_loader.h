#pragma once
// Library loading, module file names and directory search for the Linux layer. Modules are
// dlopen handles; paths are shown to plug-in code the Windows way, with backslashes, and read
// back with "\" taken as "/", so code that searches for the last backslash works unchanged.
#include "win32_types.h"

// Notification reasons of a library's entry routine.
#define DLL_PROCESS_DETACH 0
#define DLL_PROCESS_ATTACH 1
#define DLL_THREAD_ATTACH 2
#define DLL_THREAD_DETACH 3

#define FILE_ATTRIBUTE_DIRECTORY 0x00000010
#define FILE_ATTRIBUTE_NORMAL 0x00000080

#define GET_MODULE_HANDLE_EX_FLAG_PIN 0x00000001
#define GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT 0x00000002
#define GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS 0x00000004

struct FILETIME {
    DWORD dwLowDateTime;
    DWORD dwHighDateTime;
};

struct WIN32_FIND_DATAA {
    DWORD dwFileAttributes;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    DWORD nFileSizeHigh;
    DWORD nFileSizeLow;
    DWORD dwReserved0;
    DWORD dwReserved1;
    CHAR cFileName[MAX_PATH];
    CHAR cAlternateFileName[14];
};
typedef WIN32_FIND_DATAA* LPWIN32_FIND_DATAA;

HMODULE WINAPI LoadLibraryA(LPCSTR fileName);
FARPROC WINAPI GetProcAddress(HMODULE module, LPCSTR procName);
BOOL WINAPI FreeLibrary(HMODULE module);
// Null module: the running program. Truncates to size - 1 characters and returns `size` when the
// name does not fit, as current Windows does.
DWORD WINAPI GetModuleFileNameA(HMODULE module, LPSTR fileName, DWORD size);
// Only GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS is supported; the layer never changes reference
// counts here. With GET_MODULE_HANDLE_EX_FLAG_PIN the module stays loaded until the process
// ends, whatever FreeLibrary or dlclose is called on it later.
BOOL WINAPI GetModuleHandleExA(DWORD flags, LPCSTR moduleNameOrAddress, HMODULE* module);

// Pattern: a directory followed by a file name pattern in which "*" and "?" match as on Windows,
// letters compared without regard to case. Entries are returned in name order (byte order), so
// tests see one fixed order.
HANDLE WINAPI FindFirstFileA(LPCSTR pattern, LPWIN32_FIND_DATAA data);
BOOL WINAPI FindNextFileA(HANDLE find, LPWIN32_FIND_DATAA data);
BOOL WINAPI FindClose(HANDLE find);
