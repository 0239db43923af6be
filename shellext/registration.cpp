#include "registration.h"

#include <objbase.h>
#include <olectl.h>
#include <shlobj.h>

#include <cwchar>
#include <string>

#include "path_limit.h"

const CLSID kContextMenuClsid = {
    0x3eebe959, 0x786d, 0x4c99, {0xa4, 0x3d, 0xe5, 0xfa, 0xf0, 0x59, 0x1b, 0xa8}};

namespace {

constexpr const wchar_t* kClassName = L"Tervano ContextMenu";
constexpr const wchar_t* kHandlerKeyValue = L"ContextMenuString";
// Written straight into the machine's classes: a write through
// HKEY_CLASSES_ROOT goes to the user's classes when they hold a copy.
constexpr const wchar_t* kClasses = L"Software\\Classes\\";
// What every handler key of ours ends with, the old ones under a file type
// included; registration deletes no other key a stored value names.
constexpr const wchar_t* kHandlerKeyEnd = L"\\shellex\\ContextMenuHandlers\\Tervano ContextMenu";

// The CLSID as "{...}" in upper-case hexadecimal; empty when it cannot be made.
std::wstring ClsidText() {
  LPOLESTR text = nullptr;
  if (FAILED(StringFromIID(kContextMenuClsid, &text)) || !text) return std::wstring();
  std::wstring result = text;
  CoTaskMemFree(text);
  return result;
}

// Creates HKEY_LOCAL_MACHINE\path and sets one text value in it.
bool WriteEntry(const std::wstring& path, const wchar_t* name, const std::wstring& text) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_WRITE, nullptr, &key, nullptr) != ERROR_SUCCESS)
    return false;
  LONG result = RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                               static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(key);
  return result == ERROR_SUCCESS;
}

// A text value of HKEY_LOCAL_MACHINE\path; empty when missing.
std::wstring ReadText(const wchar_t* path, const wchar_t* name) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
    return std::wstring();
  wchar_t text[kPathLimit + 1] = {};
  DWORD type = 0;
  DWORD size = static_cast<DWORD>(kPathLimit * sizeof(wchar_t));
  LONG status = RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text), &size);
  RegCloseKey(key);
  if (status != ERROR_SUCCESS || type != REG_SZ) return std::wstring();
  return text;  // stored texts may lack their zero: the buffer has one more
}

bool EndsWith(const std::wstring& text, const wchar_t* end) {
  size_t length = std::wcslen(end);
  return text.size() >= length && _wcsicmp(text.c_str() + text.size() - length, end) == 0;
}

// Deletes a handler key of ours below the classes, wherever it was written.
void DeleteHandlerKey(const std::wstring& key) {
  if (!EndsWith(key, kHandlerKeyEnd)) return;
  RegDeleteKeyW(HKEY_LOCAL_MACHINE, (kClasses + key).c_str());
  RegDeleteKeyW(HKEY_CLASSES_ROOT, key.c_str());
}

// Whether the library of the other bitness is registered: its class lives
// in the other registry view, the handler key in the shared one.
bool OtherViewRegistered(const std::wstring& serverKey) {
#ifdef _WIN64
  const REGSAM other = KEY_WOW64_32KEY;
#else
  BOOL wow64 = FALSE;
  if (!IsWow64Process(GetCurrentProcess(), &wow64) || !wow64) return false;  // no other view
  const REGSAM other = KEY_WOW64_64KEY;
#endif
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, serverKey.c_str(), 0, KEY_READ | other, &key) !=
      ERROR_SUCCESS)
    return false;
  RegCloseKey(key);
  return true;
}

// Explorer reads handlers again only when told.
void TellExplorer() { SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr); }

}  // namespace

HRESULT RegisterContextMenu(const wchar_t* libraryPath) {
  const std::wstring clsid = ClsidText();
  if (clsid.empty()) return SELFREG_E_CLASS;
  const std::wstring classKey = kClasses + std::wstring(L"CLSID\\") + clsid;
  const std::wstring serverKey = classKey + L"\\InProcServer32";
  if (!WriteEntry(classKey, nullptr, kClassName) || !WriteEntry(serverKey, nullptr, libraryPath) ||
      !WriteEntry(serverKey, L"ThreadingModel", L"Apartment") ||
      !WriteEntry(L"software\\classes\\clsid\\Tervano ContextMenu", nullptr, clsid))
    return SELFREG_E_CLASS;
  // An older registration under the .gif file type would show every item
  // twice where that type is in effect.
  const std::wstring older = ReadText(kSettingsKey, kHandlerKeyValue);
  if (!older.empty() && _wcsicmp(older.c_str(), kHandlerKey) != 0) DeleteHandlerKey(older);
  if (!WriteEntry(kClasses + std::wstring(kHandlerKey), nullptr, clsid)) return SELFREG_E_CLASS;
  // Unregistration and the uninstaller find the handler key through this.
  if (!WriteEntry(kSettingsKey, kHandlerKeyValue, kHandlerKey)) return SELFREG_E_CLASS;
  TellExplorer();
  return S_OK;
}

HRESULT UnregisterContextMenu() {
  const std::wstring clsid = ClsidText();
  if (clsid.empty()) return SELFREG_E_CLASS;
  const std::wstring classKey = kClasses + std::wstring(L"CLSID\\") + clsid;
  const std::wstring serverKey = classKey + L"\\InProcServer32";
  // The subkey first: a key with subkeys cannot be deleted.
  if (RegDeleteKeyW(HKEY_LOCAL_MACHINE, serverKey.c_str()) != ERROR_SUCCESS ||
      RegDeleteKeyW(HKEY_LOCAL_MACHINE, classKey.c_str()) != ERROR_SUCCESS)
    return SELFREG_E_CLASS;
  const std::wstring handlerKey = ReadText(kSettingsKey, kHandlerKeyValue);
  if (handlerKey.empty()) return SELFREG_E_CLASS;
  // The library of the other bitness still needs the shared handler key.
  if (!OtherViewRegistered(serverKey)) {
    DeleteHandlerKey(handlerKey);
    DeleteHandlerKey(kHandlerKey);
  }
  TellExplorer();
  return S_OK;
}
