// The entry point and the four exports of the COM server.
#include <windows.h>
#include <objbase.h>
#include <olectl.h>

#include <new>

#include "class_factory.h"
#include "module_state.h"
#include "path_limit.h"
#include "registration.h"

namespace {

// The one process-wide object COM requires: the exports take no context,
// so they and the objects they create meet here.
ModuleState g_module;

}  // namespace

// Bookkeeping only: the loader lock is held here, so anything that loads,
// waits or draws waits for the objects that need it.
extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    g_module.instance = instance;
    DisableThreadLibraryCalls(instance);
  }
  return TRUE;
}

STDAPI DllCanUnloadNow() {
  return g_module.liveObjects == 0 && g_module.locks == 0 ? S_OK : S_FALSE;
}

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
  wchar_t path[kPathLimit] = {};
  DWORD length = GetModuleFileNameW(g_module.instance, path, kPathLimit);
  if (length == 0 || length >= kPathLimit) return SELFREG_E_CLASS;
  return RegisterContextMenu(path);
}

STDAPI DllUnregisterServer() { return UnregisterContextMenu(); }
