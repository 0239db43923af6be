// Makes ContextMenuHandler objects for COM.
#pragma once
#include <windows.h>
#include <unknwn.h>

#include "module_state.h"

class ClassFactory final : public IClassFactory {
 public:
  explicit ClassFactory(ModuleState& module);
  ClassFactory(const ClassFactory&) = delete;
  ClassFactory& operator=(const ClassFactory&) = delete;

  STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;
  STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** out) override;
  // Counted: a locked library stays loaded without any live object.
  STDMETHODIMP LockServer(BOOL lock) override;

 private:
  ~ClassFactory();

  ModuleState& module_;
  ULONG references_ = 0;
};
