// Registry keys on Windows. A standard user on Windows 10/11 may only read
// HKEY_LOCAL_MACHINE, and a 64-bit program is not redirected to a per-user
// copy, so each key has a per-user twin under HKEY_CURRENT_USER: reads look
// there first, then in the machine key (where the installer's values
// live); writes go to the machine key when it can be written, else to the
// per-user key. Reads only ever ask for read access.
#ifdef _WIN32

#include <windows.h>

#include "registry_key_data.h"
#include "registry_keys.h"
#include "system_reason.h"

namespace {

// The order in which reads look.
const HKEY kReadOrder[] = {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE};

// Sizes beyond a DWORD (possible in 64-bit builds only) are refused.
bool FitsDword(size_t size) { return size == static_cast<DWORD>(size); }

HKEY OpenForReading(HKEY root, const char* keyPath) {
  HKEY key = nullptr;
  return RegOpenKeyExA(root, keyPath, 0, KEY_READ, &key) == ERROR_SUCCESS ? key : nullptr;
}

// Opens the key, creating it when needed, for reading and writing values;
// null with the system's code when the user may not.
HKEY OpenForWriting(HKEY root, const char* keyPath, LONG& code) {
  HKEY key = nullptr;
  code = RegCreateKeyExA(root, keyPath, 0, nullptr, REG_OPTION_NON_VOLATILE,
                         KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, &key, nullptr);
  return code == ERROR_SUCCESS ? key : nullptr;
}

bool HasValue(HKEY root, const char* keyPath, const char* valueName) {
  HKEY key = OpenForReading(root, keyPath);
  if (!key) return false;
  bool has = RegQueryValueExA(key, valueName, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
  RegCloseKey(key);
  return has;
}

// Deletes the value under root if it is there; the system's code when it
// stays there, else ERROR_SUCCESS.
LONG DeleteValueUnder(HKEY root, const char* keyPath, const char* valueName) {
  HKEY key = nullptr;
  LONG opened = RegOpenKeyExA(root, keyPath, 0, KEY_SET_VALUE, &key);
  if (opened == ERROR_FILE_NOT_FOUND) return ERROR_SUCCESS;
  if (opened != ERROR_SUCCESS) return HasValue(root, keyPath, valueName) ? opened : ERROR_SUCCESS;
  LONG result = RegDeleteValueA(key, valueName);
  RegCloseKey(key);
  return result == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : result;
}

KeyResult Failed(LONG code) { return {KeyStatus::kFailed, SystemReason(code)}; }

}  // namespace

bool ReadKeyData(const char* keyPath, const char* valueName, uint32_t& type, char* data,
                 size_t capacity, size_t& size) {
  size = 0;
  if (!FitsDword(capacity)) return false;
  for (HKEY root : kReadOrder) {
    HKEY key = OpenForReading(root, keyPath);
    if (!key) continue;
    DWORD valueType = 0;
    DWORD valueSize = static_cast<DWORD>(capacity);
    LONG result = RegQueryValueExA(key, valueName, nullptr, &valueType,
                                   reinterpret_cast<BYTE*>(data), &valueSize);
    RegCloseKey(key);
    if (result == ERROR_MORE_DATA) return false;  // there, but too long: the per-user one wins
    if (result != ERROR_SUCCESS) continue;
    type = valueType;
    size = valueSize;
    return true;
  }
  return false;
}

KeyResult WriteKeyData(const char* keyPath, const char* valueName, uint32_t type, const char* data,
                       size_t size) {
  if (!FitsDword(size)) return {KeyStatus::kBadName, SystemReason(ERROR_INVALID_PARAMETER)};
  LONG code = ERROR_SUCCESS;  // the per-user key's answer is the one told
  for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
    HKEY key = OpenForWriting(root, keyPath, code);
    if (!key) continue;
    code = RegSetValueExA(key, valueName, 0, type, reinterpret_cast<const BYTE*>(data),
                          static_cast<DWORD>(size));
    RegCloseKey(key);
    if (code != ERROR_SUCCESS) continue;
    // An older per-user value would hide the one just stored.
    if (root == HKEY_LOCAL_MACHINE) DeleteValueUnder(HKEY_CURRENT_USER, keyPath, valueName);
    return {};
  }
  return Failed(code);
}

KeyResult DeleteKeyValue(const char* keyPath, const char* valueName) {
  LONG user = DeleteValueUnder(HKEY_CURRENT_USER, keyPath, valueName);
  LONG machine = DeleteValueUnder(HKEY_LOCAL_MACHINE, keyPath, valueName);
  if (user != ERROR_SUCCESS) return Failed(user);
  return machine == ERROR_SUCCESS ? KeyResult() : Failed(machine);
}

KeyResult CreateKey(const char* keyPath) {
  if (KeyExists(keyPath)) return {};
  LONG code = ERROR_SUCCESS;
  for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
    HKEY key = nullptr;
    code = RegCreateKeyExA(root, keyPath, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr,
                           &key, nullptr);
    if (code != ERROR_SUCCESS) continue;
    RegCloseKey(key);
    return {};
  }
  return Failed(code);
}

bool KeyExists(const char* keyPath) {
  for (HKEY root : kReadOrder) {
    HKEY key = OpenForReading(root, keyPath);
    if (!key) continue;
    RegCloseKey(key);
    return true;
  }
  return false;
}

KeyResult DeleteKey(const char* keyPath) {
  LONG kept = ERROR_SUCCESS;
  for (HKEY root : kReadOrder) {
    LONG result = RegDeleteKeyA(root, keyPath);
    if (result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND) continue;
    HKEY key = OpenForReading(root, keyPath);
    if (key) {  // still there: not ours to delete
      RegCloseKey(key);
      kept = result;
    }
  }
  return kept == ERROR_SUCCESS ? KeyResult() : Failed(kept);
}

#endif  // _WIN32
