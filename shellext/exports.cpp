// The entry point and the four exports of the COM server.
#include <windows.h>
#include <objbase.h>
#include <olectl.h>

#include <new>

#include "class_factory.h"
#include "module_state.h"
#include "registration.h"
#include "resource.h"

namespace {

// The one process-wide object COM requires: the exports take no context,
// so they and the objects they create meet here.
ModuleState g_module;

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    g_module.instance = instance;
    g_module.menuBitmap = LoadBitmapA(instance, MAKEINTRESOURCEA(IDB_MENU_GLYPH));
  } else if (reason == DLL_PROCESS_DETACH) {
    if (g_module.menuBitmap) DeleteObject(g_module.menuBitmap);
    g_module.menuBitmap = nullptr;
  }
  return TRUE;
}

STDAPI DllCanUnloadNow() { return g_module.liveObjects == 0 ? S_OK : S_FALSE; }

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, LPVOID* out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (!IsEqualCLSID(clsid, kContextMenuClsid)) return CLASS_E_CLASSNOTAVAILABLE;
  ClassFactory* factory = new (std::nothrow) ClassFactory(g_module);
  if (!factory) return E_OUTOFMEMORY;
  factory->AddRef();
  HRESULT result = factory->QueryInterface(iid, out);
  factory->Release();
  return result;
}

STDAPI DllRegisterServer() {
  char path[MAX_PATH] = {};
  DWORD length = GetModuleFileNameA(g_module.instance, path, sizeof path);
  if (length == 0 || length >= sizeof path) return SELFREG_E_CLASS;
  return RegisterContextMenu(path);
}

STDAPI DllUnregisterServer() { return UnregisterContextMenu(); }
