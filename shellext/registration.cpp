#include "registration.h"

#include <objbase.h>
#include <olectl.h>

#include <cstdio>
#include <cstring>

#include "app/settings_store.h"

const CLSID kContextMenuClsid = {
    0x3eebe959, 0x786d, 0x4c99, {0xa4, 0x3d, 0xe5, 0xfa, 0xf0, 0x59, 0x1b, 0xa8}};

namespace {

constexpr const char* kClassName = "Tervano ContextMenu";
constexpr const char* kHandlerKeyValue = "ContextMenuString";
constexpr DWORD kBuffer = 260;

// The CLSID as "{...}" in upper-case hexadecimal; 0 when it cannot be made.
int ClsidText(char (&text)[kBuffer]) {
  LPOLESTR wide = nullptr;
  if (FAILED(StringFromIID(kContextMenuClsid, &wide)) || !wide) return 0;
  int size = WideCharToMultiByte(CP_ACP, 0, wide, -1, text, kBuffer, nullptr, nullptr);
  CoTaskMemFree(wide);
  return size > 0 ? 1 : 0;
}

int SetText(HKEY key, const char* name, const char* text) {
  return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                        static_cast<DWORD>(std::strlen(text) + 1)) == ERROR_SUCCESS;
}

// Creates root\path with the given access and sets one text value in it.
int WriteEntry(HKEY root, const char* path, REGSAM access, const char* name, const char* text) {
  HKEY key = nullptr;
  if (RegCreateKeyExA(root, path, 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr, &key,
                      nullptr) != ERROR_SUCCESS)
    return 0;
  int ok = SetText(key, name, text);
  RegCloseKey(key);
  return ok;
}

// Reads a text value of root\path, opened for reading; 0 when missing.
int ReadText(HKEY root, const char* path, const char* name, char (&text)[kBuffer]) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return 0;
  DWORD type = 0;
  DWORD size = kBuffer;
  LONG status = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text), &size);
  RegCloseKey(key);
  if (status != ERROR_SUCCESS || type != REG_SZ || size == 0) return 0;
  text[size < kBuffer ? size : kBuffer - 1] = 0;  // stored texts may lack their zero
  return text[0] != 0;
}

}  // namespace

HRESULT RegisterContextMenu(const char* libraryPath) {
  char clsid[kBuffer];
  if (!ClsidText(clsid)) return SELFREG_E_CLASS;
  struct Entry {
    const char* keyFormat;
    const char* value;
    const char* data;
  };
  const Entry entries[] = {{"CLSID\\%s", nullptr, kClassName},
                           {"CLSID\\%s\\InProcServer32", nullptr, libraryPath},
                           {"CLSID\\%s\\InProcServer32", "ThreadingModel", "Apartment"}};
  for (const Entry& entry : entries) {
    char path[kBuffer];
    std::snprintf(path, sizeof path, entry.keyFormat, clsid);
    if (!WriteEntry(HKEY_CLASSES_ROOT, path, KEY_WRITE, entry.value, entry.data))
      return SELFREG_E_CLASS;
  }
  if (!WriteEntry(HKEY_LOCAL_MACHINE, "software\\classes\\clsid\\Tervano ContextMenu", KEY_WRITE,
                  nullptr, clsid))
    return SELFREG_E_CLASS;
  char fileType[kBuffer];
  if (!ReadText(HKEY_CLASSES_ROOT, ".gif", nullptr, fileType)) return SELFREG_E_CLASS;
  char handlerKey[2 * kBuffer];
  int length = std::snprintf(handlerKey, sizeof handlerKey,
                             "%s\\shellex\\ContextMenuHandlers\\Tervano ContextMenu", fileType);
  if (length < 0 || length >= static_cast<int>(kBuffer)) return SELFREG_E_CLASS;
  if (!WriteEntry(HKEY_CLASSES_ROOT, handlerKey, KEY_WRITE, nullptr, clsid))
    return SELFREG_E_CLASS;
  // Unregistration finds the handler key through this value.
  if (!WriteEntry(HKEY_LOCAL_MACHINE, kSettingsKeyPath, KEY_WRITE, kHandlerKeyValue,
                  handlerKey))
    return SELFREG_E_CLASS;
  return S_OK;
}

HRESULT UnregisterContextMenu() {
  char clsid[kBuffer];
  if (!ClsidText(clsid)) return SELFREG_E_CLASS;
  char path[kBuffer];
  // The subkey first: a key with subkeys cannot be deleted.
  std::snprintf(path, sizeof path, "CLSID\\%s\\InProcServer32", clsid);
  if (RegDeleteKeyA(HKEY_CLASSES_ROOT, path) != ERROR_SUCCESS) return SELFREG_E_CLASS;
  std::snprintf(path, sizeof path, "CLSID\\%s", clsid);
  if (RegDeleteKeyA(HKEY_CLASSES_ROOT, path) != ERROR_SUCCESS) return SELFREG_E_CLASS;
  char handlerKey[kBuffer];
  if (!ReadText(HKEY_LOCAL_MACHINE, kSettingsKeyPath, kHandlerKeyValue, handlerKey))
    return SELFREG_E_CLASS;
  RegDeleteKeyA(HKEY_CLASSES_ROOT, handlerKey);
  return S_OK;
}
