#include "class_factory.h"

#include <new>

#include "context_menu_handler.h"

ClassFactory::ClassFactory(ModuleState& module) : module_(module) { ++module_.liveObjects; }

ClassFactory::~ClassFactory() { --module_.liveObjects; }

STDMETHODIMP ClassFactory::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IClassFactory)) return E_NOINTERFACE;
  *out = static_cast<IClassFactory*>(this);
  AddRef();
  return S_OK;
}

STDMETHODIMP_(ULONG) ClassFactory::AddRef() { return ++references_; }

STDMETHODIMP_(ULONG) ClassFactory::Release() {
  ULONG left = --references_;
  if (left == 0) delete this;
  return left;
}

STDMETHODIMP ClassFactory::CreateInstance(IUnknown* outer, REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (outer) return CLASS_E_NOAGGREGATION;
  ContextMenuHandler* handler = new (std::nothrow) ContextMenuHandler(module_);
  if (!handler) return E_OUTOFMEMORY;
  // A reference for the query, so a refused interface frees the handler.
  handler->AddRef();
  HRESULT result = handler->QueryInterface(iid, out);
  handler->Release();
  return result;
}

STDMETHODIMP ClassFactory::LockServer(BOOL lock) {
  if (lock) {
    ++module_.locks;
    return S_OK;
  }
  // An unlock without its lock must not release someone else's.
  long held = module_.locks.load();
  do {
    if (held <= 0) return E_UNEXPECTED;
  } while (!module_.locks.compare_exchange_weak(held, held - 1));
  return S_OK;
}
