#include "pickers.h"

#include <commdlg.h>
#include <shlobj.h>

#include "app/window_rules.h"
#include "framework.h"
#include "resource.h"
#include "platform/path_limit.h"

namespace {

// What a folder browser shows when it has opened.
struct BrowseSetup {
  const char* caption;
  const char* status;  // null: leave the status line
  std::string selection;
};

int CALLBACK BrowseCallback(HWND window, UINT message, LPARAM, LPARAM data) {
  if (message == BFFM_INITIALIZED) {
    const auto* setup = reinterpret_cast<const BrowseSetup*>(data);
    SetWindowTextA(window, setup->caption);
    if (setup->status) SendMessageA(window, BFFM_SETSTATUSTEXTA, 0, reinterpret_cast<LPARAM>(setup->status));
    if (!setup->selection.empty()) {
      SendMessageA(window, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(setup->selection.c_str()));
    }
  }
  return 0;
}

// Runs a folder browser rooted at the desktop; the chosen file-system path.
int BrowseFolder(HWND owner, const char* instruction, const BrowseSetup& setup, std::string& folder) {
  char display[kPathLimit] = "";
  BROWSEINFOA info = {};
  info.hwndOwner = owner;
  info.pszDisplayName = display;
  info.lpszTitle = instruction;
  info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_STATUSTEXT;
  info.lpfn = &BrowseCallback;
  info.lParam = reinterpret_cast<LPARAM>(&setup);
  LPITEMIDLIST item = SHBrowseForFolderA(&info);
  if (!item) return 0;
  char path[kPathLimit] = "";
  BOOL isPath = SHGetPathFromIDListA(item, path);
  CoTaskMemFree(item);
  if (!isPath) return 0;
  folder = path;
  return 1;
}

// The open-file dialog's hint strip needs no handling of its own.
UINT_PTR CALLBACK OpenHook(HWND, UINT, WPARAM, LPARAM) { return 0; }

}  // namespace

int ChooseGifFiles(HWND owner, const std::string& startFolder, std::vector<std::string>& paths) {
  paths.clear();
  std::vector<char> area(kPickedFilesArea, '\0');
  OPENFILENAMEA dialog = {};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = owner;
  dialog.hInstance = GetModuleHandleA(nullptr);
  dialog.lpstrFilter = "Compuserve GIF (*.gif)\0*.gif\0";
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = area.data();
  dialog.nMaxFile = static_cast<DWORD>(area.size());
  dialog.lpstrInitialDir = startFolder.empty() ? nullptr : startFolder.c_str();
  dialog.lpstrTitle = "请选择要转换的 GIF 文件";
  dialog.Flags = OFN_ALLOWMULTISELECT | OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST |
                 OFN_HIDEREADONLY | OFN_ENABLESIZING | OFN_ENABLETEMPLATE | OFN_ENABLEHOOK;
  dialog.lpTemplateName = MAKEINTRESOURCEA(IDD_OPEN_HINT);
  dialog.lpfnHook = &OpenHook;
  // A selection larger than the area fails here (the dialog says nothing).
  if (!GetOpenFileNameA(&dialog)) return 0;
  paths = SplitPickedFiles(area.data(), area.size());
  return paths.empty() ? 0 : 1;
}

int BrowseDestinationFolder(HWND owner, std::string& folder) {
  BrowseSetup setup = {"目标文件夹", nullptr, std::string()};
  char special[kPathLimit] = "";
  if (SHGetSpecialFolderPathA(owner, special, CSIDL_MYPICTURES, FALSE) ||
      SHGetSpecialFolderPathA(owner, special, CSIDL_PERSONAL, FALSE)) {
    setup.selection = special;
  }
  std::string chosen;
  if (!BrowseFolder(owner, "请选择一个目标文件夹:", setup, chosen)) return 0;
  if (chosen.size() < 3) return 0;
  folder = chosen;
  return 1;
}

int AskSaveFile(HWND owner, const std::string& proposedPath, std::string& chosenPath) {
  char file[kPathLimit] = "";
  CopyToBuffer(proposedPath, file, sizeof file);
  std::string folder = file[0] ? FolderOfPath(file) : std::string();
  OPENFILENAMEA dialog = {};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = owner;
  dialog.lpstrFilter = "Shockwave SWF (*.swf)\0*.swf\0";
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = file;
  dialog.nMaxFile = sizeof file;
  dialog.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
  dialog.lpstrTitle = "另存为";
  dialog.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_ENABLESIZING |
                 OFN_EXPLORER;
  if (!GetSaveFileNameA(&dialog)) return 0;
  chosenPath = file;
  return 1;
}

int BrowseSaveFolder(HWND owner, const std::string& startFolder, std::string& folder) {
  BrowseSetup setup = {"另存为", "Shockwave 文件:", startFolder};
  return BrowseFolder(owner, "请选择您想要保存文件的文件夹:", setup, folder);
}
