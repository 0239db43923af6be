// The registry functions the program uses. On Windows they are the real API.
// Elsewhere the same names, types and results are provided over plain files:
// one file per key, in the .reg text format, in the folder named by
// $TERVANO_CONFIG_DIR, else $XDG_CONFIG_HOME/tervano, else ~/.config/tervano.
//
// What the file-backed version does like Windows:
//  - key and value names compare case-insensitively (ASCII letters);
//  - RegCreateKeyExA creates a key and reports REG_CREATED_NEW_KEY or
//    REG_OPENED_EXISTING_KEY; a key that has subkeys exists even without a
//    file of its own; RegDeleteKeyA refuses keys that have subkeys;
//  - RegQueryValueExA reports the type, takes the buffer size in and gives the
//    data size out, and answers ERROR_MORE_DATA when the buffer is too small;
//  - data is stored exactly as given (a REG_SZ keeps its terminating zero
//    in its size); texts are bytes of the system code page, never converted;
//  - opening with write access fails with ERROR_ACCESS_DENIED when the store
//    folder cannot be written.
// Changes are atomic (temporary file, fsync, rename) and serialised between
// processes and threads by flock on a lock file in the store folder. A file
// that is damaged in part still gives its readable values; the rest count as
// missing.
#pragma once

#ifdef _WIN32
#include <windows.h>
#else
#include <cstdint>
#include <string>

typedef int32_t LONG;
typedef uint32_t DWORD;
typedef unsigned char BYTE;
typedef DWORD* LPDWORD;
typedef BYTE* LPBYTE;
typedef const char* LPCSTR;
typedef char* LPSTR;
typedef DWORD REGSAM;
typedef struct _SECURITY_ATTRIBUTES* LPSECURITY_ATTRIBUTES;

struct RegistryKey;
typedef RegistryKey* HKEY;
typedef HKEY* PHKEY;

// Predefined roots: odd values that no allocated key can have.
#define HKEY_CLASSES_ROOT (reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x80000000u)))
#define HKEY_CURRENT_USER (reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x80000001u)))
#define HKEY_LOCAL_MACHINE (reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x80000002u)))
#define HKEY_USERS (reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x80000003u)))

constexpr LONG ERROR_SUCCESS = 0;
constexpr LONG ERROR_FILE_NOT_FOUND = 2;
constexpr LONG ERROR_ACCESS_DENIED = 5;
constexpr LONG ERROR_INVALID_HANDLE = 6;
constexpr LONG ERROR_OUTOFMEMORY = 14;
constexpr LONG ERROR_INVALID_PARAMETER = 87;
constexpr LONG ERROR_MORE_DATA = 234;
constexpr LONG ERROR_NOACCESS = 998;
constexpr LONG ERROR_BADKEY = 1010;
constexpr LONG ERROR_CANTWRITE = 1013;
constexpr LONG ERROR_KEY_DELETED = 1018;

constexpr DWORD REG_NONE = 0;
constexpr DWORD REG_SZ = 1;
constexpr DWORD REG_EXPAND_SZ = 2;
constexpr DWORD REG_BINARY = 3;
constexpr DWORD REG_DWORD = 4;
constexpr DWORD REG_MULTI_SZ = 7;
constexpr DWORD REG_QWORD = 11;

constexpr DWORD REG_OPTION_NON_VOLATILE = 0;
constexpr DWORD REG_OPTION_VOLATILE = 1;
constexpr DWORD REG_CREATED_NEW_KEY = 1;
constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
constexpr REGSAM KEY_SET_VALUE = 0x0002;
constexpr REGSAM KEY_CREATE_SUB_KEY = 0x0004;
constexpr REGSAM KEY_ENUMERATE_SUB_KEYS = 0x0008;
constexpr REGSAM KEY_NOTIFY = 0x0010;
constexpr REGSAM KEY_CREATE_LINK = 0x0020;
constexpr REGSAM KEY_READ = 0x20019;
constexpr REGSAM KEY_WRITE = 0x20006;
constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;

LONG RegCreateKeyExA(HKEY key, LPCSTR subKey, DWORD reserved, LPSTR keyClass,
                     DWORD options, REGSAM access,
                     LPSECURITY_ATTRIBUTES security, PHKEY result,
                     LPDWORD disposition);
LONG RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD options, REGSAM access,
                   PHKEY result);
LONG RegCloseKey(HKEY key);
LONG RegDeleteKeyA(HKEY key, LPCSTR subKey);
LONG RegQueryValueExA(HKEY key, LPCSTR valueName, LPDWORD reserved,
                      LPDWORD type, LPBYTE data, LPDWORD dataSize);
LONG RegSetValueExA(HKEY key, LPCSTR valueName, DWORD reserved, DWORD type,
                    const BYTE* data, DWORD dataSize);
LONG RegDeleteValueA(HKEY key, LPCSTR valueName);

// Folder that holds the key files (no trailing slash); empty when none can
// be named. Read from the environment at every call.
std::string RegistryStoreFolder();
// Name of the file (without folder) that holds the key root\path, for
// example root "HKEY_LOCAL_MACHINE" and path "Software\\Tervano"; empty when
// the path is not a valid key path.
std::string RegistryKeyFileName(const char* root, const char* path);
#endif
