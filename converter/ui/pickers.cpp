#include "pickers.h"

#include <commdlg.h>
#include <shlobj.h>

#include "app/window_rules.h"
#include "framework.h"
#include "resource.h"
#include "platform/path_limit.h"
#include "platform/wide_text.h"

namespace {

// What a folder browser shows when it has opened.
struct BrowseSetup {
  const wchar_t* caption;
  const wchar_t* status;  // null: leave the status line
  std::wstring selection;
};

int CALLBACK BrowseCallback(HWND window, UINT message, LPARAM, LPARAM data) {
  if (message == BFFM_INITIALIZED) {
    const auto* setup = reinterpret_cast<const BrowseSetup*>(data);
    SetWindowTextW(window, setup->caption);
    if (setup->status) SendMessageW(window, BFFM_SETSTATUSTEXTW, 0, reinterpret_cast<LPARAM>(setup->status));
    if (!setup->selection.empty()) {
      SendMessageW(window, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(setup->selection.c_str()));
    }
  }
  return 0;
}

// Runs a folder browser rooted at the desktop; the chosen file-system path.
int BrowseFolder(HWND owner, const wchar_t* instruction, const BrowseSetup& setup, std::string& folder) {
  wchar_t display[MAX_PATH] = L"";
  BROWSEINFOW info = {};
  info.hwndOwner = owner;
  info.pszDisplayName = display;
  info.lpszTitle = instruction;
  info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_STATUSTEXT;
  info.lpfn = &BrowseCallback;
  info.lParam = reinterpret_cast<LPARAM>(&setup);
  LPITEMIDLIST item = SHBrowseForFolderW(&info);
  if (!item) return 0;
  wchar_t path[MAX_PATH] = L"";
  BOOL isPath = SHGetPathFromIDListW(item, path);
  CoTaskMemFree(item);
  if (!isPath) return 0;
  folder = Utf8FromWide(path);
  return 1;
}

// The open-file dialog's hint strip needs no handling of its own.
UINT_PTR CALLBACK OpenHook(HWND, UINT, WPARAM, LPARAM) { return 0; }

}  // namespace

int ChooseGifFiles(HWND owner, const std::string& startFolder, std::vector<std::string>& paths) {
  paths.clear();
  std::vector<wchar_t> area(kPickedFilesArea, L'\0');
  std::wstring folder = WideFromUtf8(startFolder);
  OPENFILENAMEW dialog = {};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = owner;
  dialog.hInstance = GetModuleHandleW(nullptr);
  dialog.lpstrFilter = L"Compuserve GIF (*.gif)\0*.gif\0";
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = area.data();
  dialog.nMaxFile = static_cast<DWORD>(area.size());
  dialog.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
  dialog.lpstrTitle = L"请选择要转换的 GIF 文件";
  dialog.Flags = OFN_ALLOWMULTISELECT | OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST |
                 OFN_HIDEREADONLY | OFN_ENABLESIZING | OFN_ENABLETEMPLATE | OFN_ENABLEHOOK;
  dialog.lpTemplateName = MAKEINTRESOURCEW(IDD_OPEN_HINT);
  dialog.lpfnHook = &OpenHook;
  // A selection larger than the area fails here (the dialog says nothing).
  if (!GetOpenFileNameW(&dialog)) return 0;
  // The whole area, its zeros included: the names stay apart as UTF-8.
  std::string names = Utf8FromWide(area.data(), area.size());
  paths = SplitPickedFiles(names.data(), names.size());
  return paths.empty() ? 0 : 1;
}

int BrowseDestinationFolder(HWND owner, std::string& folder) {
  BrowseSetup setup = {L"目标文件夹", nullptr, std::wstring()};
  wchar_t special[MAX_PATH] = L"";
  if (SHGetSpecialFolderPathW(owner, special, CSIDL_MYPICTURES, FALSE) ||
      SHGetSpecialFolderPathW(owner, special, CSIDL_PERSONAL, FALSE)) {
    setup.selection = special;
  }
  std::string chosen;
  if (!BrowseFolder(owner, L"请选择一个目标文件夹:", setup, chosen)) return 0;
  if (chosen.size() < 3) return 0;
  folder = chosen;
  return 1;
}

int AskSaveFile(HWND owner, const std::string& proposedPath, std::string& chosenPath) {
  wchar_t file[kPathLimit] = L"";
  std::wstring proposed = WideFromUtf8(proposedPath);
  // A proposal too long for the name field is left out.
  if (proposed.size() < kPathLimit) proposed.copy(file, proposed.size());
  std::wstring folder = file[0] ? WideFromUtf8(FolderOfPath(proposedPath)) : std::wstring();
  OPENFILENAMEW dialog = {};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = owner;
  dialog.lpstrFilter = L"Shockwave SWF (*.swf)\0*.swf\0";
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = file;
  dialog.nMaxFile = kPathLimit;
  dialog.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
  dialog.lpstrTitle = L"另存为";
  dialog.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_ENABLESIZING |
                 OFN_EXPLORER;
  if (!GetSaveFileNameW(&dialog)) return 0;
  chosenPath = Utf8FromWide(file);
  return 1;
}

int BrowseSaveFolder(HWND owner, const std::string& startFolder, std::string& folder) {
  BrowseSetup setup = {L"另存为", L"Shockwave 文件:", WideFromUtf8(startFolder)};
  return BrowseFolder(owner, L"请选择您想要保存文件的文件夹:", setup, folder);
}
