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
  // Replaces the file list with the names of the first CF_HDROP that has
  // any; keeps it when none has. 1 when the data object could be asked.
  int ReadFileList();
  // Starts the converter for command 0 (convert) or 1 (add); 1 when the
  // command is known. A name without a narrow path is reported in a
  // message box owned by owner, unless the caller wants no UI.
  int ExecuteVerb(unsigned command, HWND owner, bool mayShowUi);

  ModuleState& module_;
  ULONG references_ = 0;
  IDataObject* data_ = nullptr;
  // Wide, as Explorer gives them: the code page may lack their characters.
  std::vector<std::wstring> files_;
};
