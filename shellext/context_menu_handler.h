// The context-menu handler of .gif files: offers "convert" for one selected
// file and "add to the list" for any selection, and carries them out by
// starting the converter with the command stored in "ExecString".
#pragma once
#include <windows.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "module_state.h"

class ContextMenuHandler final : public IShellExtInit, public IContextMenu {
 public:
  explicit ContextMenuHandler(ModuleState& module);
  ContextMenuHandler(const ContextMenuHandler&) = delete;
  ContextMenuHandler& operator=(const ContextMenuHandler&) = delete;

  // IUnknown (IShellExtInit is the primary interface)
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;

  // IShellExtInit
  STDMETHODIMP Initialize(PCIDLIST_ABSOLUTE folder, IDataObject* data, HKEY programKey) override;

  // IContextMenu
  STDMETHODIMP QueryContextMenu(HMENU menu, UINT index, UINT firstId, UINT lastId,
                                UINT flags) override;
  STDMETHODIMP InvokeCommand(CMINVOKECOMMANDINFO* info) override;
  STDMETHODIMP GetCommandString(UINT_PTR id, UINT type, UINT* reserved, CHAR* name,
                                UINT maximum) override;

 private:
  ~ContextMenuHandler();
  // The names of the selection, read from the data object once per
  // selection (Explorer asks for the menu and the command separately).
  const std::vector<std::wstring>& Files();
  // The menu glyph at the screen's scale, made on first use.
  HBITMAP MenuGlyph();
  // Starts the converter for command 0 (convert) or 1 (add) without
  // waiting for it. What cannot be started is reported in a message box
  // owned by owner, unless the caller wants no UI, and in the result.
  HRESULT ExecuteVerb(unsigned command, HWND owner, bool mayShowUi);

  ModuleState& module_;
  ULONG references_ = 0;
  IDataObject* data_ = nullptr;
  bool filesRead_ = false;
  // Wide, as Explorer gives them: the code page may lack their characters.
  std::vector<std::wstring> files_;
  HBITMAP glyph_ = nullptr;
};
