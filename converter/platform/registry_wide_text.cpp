#include "registry_wide_text.h"

#include <cstring>
#include <vector>

#include "path_limit.h"
#include "registry_key_data.h"

#ifdef _WIN32
#include <windows.h>

#include "system_reason.h"
#include "wide_text.h"

namespace {

std::wstring WideName(const char* valueName) {
  return std::wstring(valueName, valueName + std::strlen(valueName));  // value names are ASCII
}

}  // namespace

bool ReadKeyUnicodeText(const char* keyPath, const char* valueName, std::string& utf8) {
  utf8.clear();
  const std::wstring name = WideName(valueName);
  // The per-user value first, as every read of the settings does.
  for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, keyPath, 0, KEY_READ, &key) != ERROR_SUCCESS) continue;
    wchar_t text[kPathLimit + 1] = {};
    DWORD type = 0;
    DWORD size = kPathLimit * sizeof(wchar_t);
    LONG result = RegQueryValueExW(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(text), &size);
    RegCloseKey(key);
    if (result == ERROR_MORE_DATA) return false;
    if (result != ERROR_SUCCESS) continue;
    if (type != REG_SZ) return false;
    utf8 = Utf8FromWide(text);  // ends at its first zero
    return true;
  }
  return false;
}

KeyResult WriteKeyUnicodeText(const char* keyPath, const char* valueName, const std::string& utf8) {
  const std::wstring name = WideName(valueName);
  LONG code = ERROR_SUCCESS;
  const std::wstring text = WideFromUtf8(utf8);
  const DWORD size = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
  for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
    HKEY key = nullptr;
    code = RegCreateKeyExA(root, keyPath, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_QUERY_VALUE | KEY_SET_VALUE,
                           nullptr, &key, nullptr);
    if (code != ERROR_SUCCESS) continue;
    code = RegSetValueExW(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()), size);
    RegCloseKey(key);
    if (code != ERROR_SUCCESS) continue;
    if (root == HKEY_LOCAL_MACHINE) {
      // An older per-user value would hide the one just stored.
      HKEY user = nullptr;
      if (RegOpenKeyExA(HKEY_CURRENT_USER, keyPath, 0, KEY_SET_VALUE, &user) == ERROR_SUCCESS) {
        RegDeleteValueA(user, valueName);
        RegCloseKey(user);
      }
    }
    return KeyResult();
  }
  return {KeyStatus::kFailed, SystemReason(code)};
}

#else

bool ReadKeyUnicodeText(const char* keyPath, const char* valueName, std::string& utf8) {
  utf8.clear();
  // Names are bytes here: the limit counts bytes.
  std::vector<char> data(kPathLimit);
  uint32_t type = 0;
  size_t size = 0;
  if (!ReadKeyData(keyPath, valueName, type, data.data(), data.size(), size) || type != kRegText) return false;
  const void* zero = std::memchr(data.data(), '\0', size);
  utf8.assign(data.data(), zero ? static_cast<size_t>(static_cast<const char*>(zero) - data.data()) : size);
  return true;
}

KeyResult WriteKeyUnicodeText(const char* keyPath, const char* valueName, const std::string& utf8) {
  return WriteKeyData(keyPath, valueName, kRegText, utf8.c_str(), utf8.size() + 1);
}

#endif
