// Registry keys on Windows: thin calls of the registry API.
#ifdef _WIN32

#include <windows.h>

#include "registry_key_data.h"
#include "registry_keys.h"

namespace {

// Sizes beyond a DWORD (possible in 64-bit builds only) are refused.
bool FitsDword(size_t size) { return size == static_cast<DWORD>(size); }

// Opens the key, creating it when needed, with full access; null when it
// cannot be opened.
HKEY OpenOrCreate(const char* keyPath) {
  HKEY key = nullptr;
  LONG result = RegCreateKeyExA(HKEY_LOCAL_MACHINE, keyPath, 0, nullptr,
                                REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key,
                                nullptr);
  return result == ERROR_SUCCESS ? key : nullptr;
}

}  // namespace

int ReadKeyData(const char* keyPath, const char* valueName, uint32_t& type, char* data,
                size_t capacity, size_t& size) {
  size = 0;
  if (!FitsDword(capacity)) return 0;
  HKEY key = OpenOrCreate(keyPath);
  if (!key) return 0;
  DWORD valueType = 0;
  DWORD valueSize = static_cast<DWORD>(capacity);
  LONG result = RegQueryValueExA(key, valueName, nullptr, &valueType,
                                 reinterpret_cast<BYTE*>(data), &valueSize);
  RegCloseKey(key);
  if (result != ERROR_SUCCESS) return 0;  // missing, or ERROR_MORE_DATA
  type = valueType;
  size = valueSize;
  return 1;
}

int WriteKeyData(const char* keyPath, const char* valueName, uint32_t type, const char* data,
                 size_t size) {
  if (!FitsDword(size)) return 0;
  HKEY key = OpenOrCreate(keyPath);
  if (!key) return 0;
  LONG result = RegSetValueExA(key, valueName, 0, type, reinterpret_cast<const BYTE*>(data),
                               static_cast<DWORD>(size));
  RegCloseKey(key);
  return result == ERROR_SUCCESS ? 1 : 0;
}

int DeleteKeyValue(const char* keyPath, const char* valueName) {
  HKEY key = OpenOrCreate(keyPath);
  if (!key) return 0;
  RegDeleteValueA(key, valueName);  // nothing to delete is fine too
  RegCloseKey(key);
  return 1;
}

int CreateKey(const char* keyPath) {
  HKEY key = OpenOrCreate(keyPath);
  if (!key) return 0;
  RegCloseKey(key);
  return 1;
}

int KeyExists(const char* keyPath) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
    return 0;
  RegCloseKey(key);
  return 1;
}

int DeleteKey(const char* keyPath) {
  LONG result = RegDeleteKeyA(HKEY_LOCAL_MACHINE, keyPath);
  return result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND ? 1 : 0;
}

#endif  // _WIN32
