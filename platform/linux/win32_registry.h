#pragma once
// Registry subset of the Linux layer: an in-process store under HKEY_CURRENT_USER, empty at
// start, with the Windows contract of the calls the plug-ins make. Key and value names compare
// without regard to ASCII case, as on Windows; subkey paths are separated by backslashes.
#include <string>

#include "win32_types.h"

// The predefined root, with the SDK's (sign-extended) value. It is the only root the store has;
// any other handle that was not returned by RegCreateKeyExA or RegOpenKeyExA is refused with
// ERROR_INVALID_HANDLE.
#define HKEY_CURRENT_USER (reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(static_cast<LONG>(0x80000001))))

// Access rights. Reading needs KEY_QUERY_VALUE and writing KEY_SET_VALUE in the handle's access,
// otherwise ERROR_ACCESS_DENIED, as on Windows.
#define KEY_QUERY_VALUE 0x0001u
#define KEY_SET_VALUE 0x0002u
#define KEY_CREATE_SUB_KEY 0x0004u
#define KEY_ENUMERATE_SUB_KEYS 0x0008u
#define KEY_NOTIFY 0x0010u
#define KEY_CREATE_LINK 0x0020u
#define KEY_READ 0x20019u
#define KEY_WRITE 0x20006u
#define KEY_ALL_ACCESS 0xF003Fu

#define REG_OPTION_NON_VOLATILE 0x00000000u
#define REG_OPTION_VOLATILE 0x00000001u

#define REG_CREATED_NEW_KEY 0x00000001u
#define REG_OPENED_EXISTING_KEY 0x00000002u

#define REG_NONE 0u
#define REG_SZ 1u
#define REG_EXPAND_SZ 2u
#define REG_BINARY 3u
#define REG_DWORD 4u

// Opens `subKey` below `key`, creating it and every missing key above it. *disposition (when not
// null) tells REG_CREATED_NEW_KEY or REG_OPENED_EXISTING_KEY. Class, options and security are
// accepted and ignored. A null or empty subkey opens `key` itself again.
LSTATUS WINAPI RegCreateKeyExA(HKEY key, LPCSTR subKey, DWORD reserved, LPSTR keyClass,
                               DWORD options, REGSAM access,
                               const LPSECURITY_ATTRIBUTES security, PHKEY result,
                               LPDWORD disposition);
// Opens an existing key: ERROR_FILE_NOT_FOUND when it does not exist.
LSTATUS WINAPI RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD options, REGSAM access,
                             PHKEY result);
// Reads a value (null or empty name: the key's default value). Missing value:
// ERROR_FILE_NOT_FOUND. `type` may be null. With `data` null and `dataBytes` not null the size is
// returned; a buffer smaller than the value gives ERROR_MORE_DATA with the needed size in
// *dataBytes and nothing copied; `data` without `dataBytes` is ERROR_INVALID_PARAMETER.
LSTATUS WINAPI RegQueryValueExA(HKEY key, LPCSTR valueName, LPDWORD reserved, LPDWORD type,
                                LPBYTE data, LPDWORD dataBytes);
// Stores `dataBytes` bytes as given (a REG_SZ keeps whatever terminator the caller counted).
LSTATUS WINAPI RegSetValueExA(HKEY key, LPCSTR valueName, DWORD reserved, DWORD type,
                              const BYTE* data, DWORD dataBytes);
LSTATUS WINAPI RegCloseKey(HKEY key);

// Linux only, no Win32 counterpart: the file in which the key `subKey` below HKEY_CURRENT_USER
// is kept, so that the plug-in can tell its user where to edit it; empty for a key that lives in
// memory only (every key but the plug-in's settings), or when there is no home directory.
std::string RegLinuxFileOfKey(LPCSTR subKey);
