#include "main_dialog.h"

#include <shellapi.h>

#include <vector>

#include "about_dialog.h"
#include "dpi.h"
#include "app/conversion_job.h"
#include "app/hand_off.h"
#include "app/list_entry.h"
#include "app/progress_sink.h"
#include "platform/ansi_path.h"
#include "start_up.h"
#include "pickers.h"
#include "platform/process_lock.h"
#include "platform/registry_keys.h"
#include "publish_settings_dialog.h"
#include "resource.h"
#include "start_batch.h"
#include "platform/path_limit.h"

bool RegisterMainWindowClass() {
  WNDCLASSEXA windowClass = {};
  windowClass.cbSize = sizeof windowClass;
  windowClass.style = CS_DBLCLKS;
  // A dialog all the same: the dialog manager keeps its state in the extra
  // bytes and the default dialog procedure calls the window's own.
  windowClass.lpfnWndProc = &DefDlgProcA;
  windowClass.cbWndExtra = DLGWINDOWEXTRA;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // IDC_ARROW
  windowClass.lpszClassName = kMainWindowClass;
  if (RegisterClassExA(&windowClass)) return true;
  return GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

HWND FindMainWindow() { return FindWindowA(kMainWindowClass, kMainWindowTitle); }

MainDialog::MainDialog(const std::vector<std::string>& startupFiles)
    : Dialog(IDD_MAIN, nullptr), startupFiles_(startupFiles) {
  char folder[kPathLimit] = "";
  DWORD length = GetCurrentDirectoryA(sizeof folder, folder);
  if (length > 0 && length < sizeof folder) openFolder_ = folder;
}

MainDialog::~MainDialog() {
  if (hwnd()) DestroyWindow(hwnd());
  if (icon_) DestroyIcon(icon_);
  if (smallIcon_) DestroyIcon(smallIcon_);
}

void MainDialog::DoDataExchange(DataExchange& exchange) {
  exchange.Text(IDC_FILE_LIST, list_.text);
  exchange.Text(IDC_READY_COUNT, readyCountText_);
  exchange.Text(IDC_URL_TEXT, options_.linkUrl);
  exchange.Text(IDC_PLAY_COUNT, options_.playCountText);
  exchange.Check(IDC_URL_CHECK, options_.useLinkUrl);
  exchange.Check(IDC_LOOP_FOREVER, options_.loopForever);
}

bool MainDialog::OnInitDialog() {
  {
    // The window can be found by its title from now on. A copy deciding
    // under the lock sees either the marker or this window, never neither.
    ProcessLock lock(kHandOffLockName);
    (void)lock.Acquire(kHandOffLockWaitMs);
    (void)DeleteKey(kStartingMarkerKey);  // one left is found stale by the next copy
  }
  LoadOptions(options_, publish_);
  DragAcceptFiles(hwnd(), TRUE);
  Refresh();
  SetWindowTextA(hwnd(), kMainWindowTitle);
  AttachMenu();
  EnableWindow(Item(IDC_URL_TEXT), options_.useLinkUrl ? TRUE : FALSE);
  EnableWindow(Item(IDC_CONVERT), FALSE);
  CheckRadioButton(hwnd(), IDC_CHANGE_LOOP, IDC_KEEP_LOOP,
                   options_.changeLoop ? IDC_CHANGE_LOOP : IDC_KEEP_LOOP);
  EnableLoopControls();
  ShowIcons();
  if (!startupFiles_.empty()) {
    list_.text = startupFiles_.front();
    list_.lineCount = 1;
    for (size_t i = 1; i < startupFiles_.size(); ++i) AppendSourceLine(list_, startupFiles_[i]);
    UpdateReadyCount();
    Refresh();
  }
  SetTimer(hwnd(), TIMER_TAKE_FILES, 500, nullptr);
  // The first key press adds files, instead of selecting the whole list.
  SetFocus(Item(IDC_ADD_FILES));
  return false;
}

void MainDialog::AttachMenu() {
  HMENU menu = LoadMenuA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_MAIN_MENU));
  if (!menu) return;
  SetMenu(hwnd(), menu);
  EnableConvertCommands(false);
}

void MainDialog::ShowIcons() {
  UINT dpi = WindowDpi(hwnd());
  // Title bar and task bar ask for the small size, Alt+Tab for the big one.
  if (HICON big = LoadIconForDpi(IDI_MAIN, SM_CXICON, dpi)) {
    SendMessageA(hwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
    if (icon_) DestroyIcon(icon_);
    icon_ = big;
  }
  if (HICON little = LoadIconForDpi(IDI_MAIN, SM_CXSMICON, dpi)) {
    SendMessageA(hwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(little));
    if (smallIcon_) DestroyIcon(smallIcon_);
    smallIcon_ = little;
  }
}

void MainDialog::EnableConvertCommands(bool enable) {
  UINT state = MF_BYCOMMAND | (enable ? MF_ENABLED : MF_GRAYED);
  HMENU menu = GetMenu(hwnd());
  if (menu) {
    EnableMenuItem(menu, IDC_CONVERT, state);
    EnableMenuItem(menu, ID_SAVE_AS, state);
  }
  EnableWindow(Item(IDC_CONVERT), enable ? TRUE : FALSE);
}

void MainDialog::EnableLoopControls() {
  LoopControls states = LoopControlStates(options_);
  EnableWindow(Item(IDC_LOOP_FOREVER), states.loopForeverBox ? TRUE : FALSE);
  for (int id : {IDC_PLAY_LABEL, IDC_TIMES_LABEL, IDC_PLAY_COUNT}) {
    EnableWindow(Item(id), states.countFields ? TRUE : FALSE);
  }
}

void MainDialog::UpdateReadyCount() {
  readyCountText_ = ReadyCountText(list_);
  if (ReadyCount(list_) > 0) EnableConvertCommands(true);
}

bool MainDialog::OnCommand(int id, int code, HWND control) {
  switch (id) {
    case IDC_ADD_FILES: OnAddFiles(); return true;
    case IDC_CONVERT: OnConvert(); return true;
    case IDC_RESET: OnReset(); return true;
    case IDC_CHANGE_LOOP: OnLoopChoice(true); return true;
    case IDC_KEEP_LOOP: OnLoopChoice(false); return true;
    case IDC_LOOP_FOREVER: OnLoopForever(); return true;
    case IDC_URL_CHECK: OnUrlToggle(); return true;
    case IDC_URL_TEXT:
      if (code == EN_CHANGE && !refreshing_) Collect();
      return true;
    case IDC_PLAY_COUNT:
      if (refreshing_) return true;
      if (code == EN_CHANGE) OnPlayCountChanged();
      if (code == EN_KILLFOCUS) OnPlayCountLeft();
      return true;
    case ID_EXIT: OnExit(); return true;
    case ID_DESTINATION: OnDestinationFolder(); return true;
    case ID_SAVE_AS: OnSaveAs(); return true;
    case ID_PUBLISH_SETTINGS: OnPublishSettings(); return true;
    case ID_HELP_TOPICS: OnHelpTopics(); return true;
    case ID_ABOUT: OnAbout(); return true;
    case ID_BATCH_DONE: OnBatchDoneMessage(batch_); return true;
    case IDOK:
    case IDCANCEL:
      return true;  // neither Enter without a default nor Escape ends the window
    default:
      return Dialog::OnCommand(id, code, control);
  }
}

bool MainDialog::WindowProc(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  (void)lParam;
  switch (message) {
    case WM_CLOSE:
      OnExit();
      result = 0;
      return true;
    case WM_DROPFILES:
      OnDrop(reinterpret_cast<HDROP>(wParam));
      result = 0;
      return true;
    case WM_TIMER:
      if (wParam != TIMER_TAKE_FILES) return false;
      PostMessageA(hwnd(), WM_TAKE_FILES, 0, 0);
      KillTimer(hwnd(), TIMER_TAKE_FILES);
      result = 0;
      return true;
    case WM_TAKE_FILES:
      TakeHandedFiles();
      result = 0;
      return true;
    case WM_DPICHANGED:
      // Moved to a screen of another scale; the dialog manager does the rest.
      ShowIcons();
      return false;
    default:
      return false;
  }
}

void MainDialog::OnAddFiles() {
  std::vector<std::string> paths;
  if (ChooseGifFiles(hwnd(), openFolder_, paths)) {
    openFolder_ = FolderOfPath(paths.front());
    AddPickedFiles(list_, paths);
  }
  UpdateReadyCount();
  Refresh();
}

void MainDialog::OnReset() {
  EnableConvertCommands(false);
  ResetList(list_);
  readyCountText_.clear();
  Refresh();
}

void MainDialog::OnDestinationFolder() {
  std::string folder;
  if (!BrowseDestinationFolder(hwnd(), folder)) return;
  SetDestinationLine(list_, folder);
  Refresh();
}

void MainDialog::OnSaveAs() {
  SaveAsPlan plan = PlanSaveAs(list_);
  std::string folder;
  if (plan.singleFile) {
    std::string chosen;
    if (!AskSaveFile(hwnd(), plan.lastDestination, chosen)) return;
    // Only the folder counts: the movie keeps the name of its source.
    folder = FolderOfPath(chosen);
  } else {
    if (!BrowseSaveFolder(hwnd(), FolderOfPath(plan.lastSource), folder)) return;
  }
  ApplySaveAs(list_, plan, folder);
  UpdateReadyCount();
  Refresh();
  SendMessageA(hwnd(), WM_COMMAND, MAKEWPARAM(IDC_CONVERT, 0), 0);
}

void MainDialog::OnConvert() { StartBatch(hwnd(), list_, options_, publish_, batch_); }

void MainDialog::OnLoopChoice(bool change) {
  options_.changeLoop = change ? 1 : 0;
  EnableLoopControls();
}

void MainDialog::OnLoopForever() {
  options_.loopForever = 1 - (options_.loopForever ? 1 : 0);
  EnableLoopControls();
  if (options_.loopForever == 0) {
    HWND field = Item(IDC_PLAY_COUNT);
    SendMessageA(hwnd(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(field), TRUE);
    int end = GetWindowTextLengthA(field);
    SendMessageA(field, EM_SETSEL, end, end);
  }
}

void MainDialog::OnUrlToggle() {
  options_.useLinkUrl = 1 - (options_.useLinkUrl ? 1 : 0);
  EnableWindow(Item(IDC_URL_TEXT), options_.useLinkUrl ? TRUE : FALSE);
}

void MainDialog::OnPlayCountChanged() {
  Collect();
  bool caretToEnd = NormalisePlayCount(options_);
  Refresh();
  if (caretToEnd) {
    HWND field = Item(IDC_PLAY_COUNT);
    int end = GetWindowTextLengthA(field);
    SendMessageA(field, EM_SETSEL, end, end);
  }
}

void MainDialog::OnPlayCountLeft() {
  Collect();
  bool toLoopForever = GetFocus() == Item(IDC_LOOP_FOREVER);
  if (EmptyPlayCountLeft(options_, toLoopForever)) {
    Refresh();
    EnableLoopControls();
  }
}

void MainDialog::OnPublishSettings() {
  PublishSettingsDialog dialog(hwnd(), publish_);
  dialog.DoModal();
}

void MainDialog::OnHelpTopics() {
  char program[kPathLimit] = "";
  DWORD length = GetModuleFileNameA(nullptr, program, sizeof program);
  if (length == 0 || length >= sizeof program) return;
  std::string help = FolderOfPath(program);
  if (help.empty()) return;
  help = EndsWithBackslash(help) ? help + "help.chm" : help + "\\help.chm";
  SHELLEXECUTEINFOA info = {};
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_FLAG_NO_UI;  // a missing help file is not reported
  info.hwnd = hwnd();
  info.lpVerb = "open";
  info.lpFile = help.c_str();
  info.nShow = SW_SHOWMAXIMIZED;
  ShellExecuteExA(&info);
}

void MainDialog::OnAbout() {
  AboutDialog dialog(hwnd());
  dialog.DoModal();
}

void MainDialog::OnExit() {
  OptionsSaved saved = SaveOptions(options_, publish_);
  if (!saved.done()) {
    std::string text = "错误: 无法保存设置 " + saved.valueName + "\r\n" + saved.result.reason;
    MessageBoxA(hwnd(), text.c_str(), "Tervano", MB_OK | MB_ICONERROR);
  }
  PostQuitMessage(0);
}

void MainDialog::OnDrop(HDROP drop) {
  // Wide names: the narrow call turns what the code page lacks into "?".
  UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
  std::vector<std::wstring> unnamed;
  for (UINT i = count; i-- > 0;) {
    UINT length = DragQueryFileW(drop, i, nullptr, 0);
    if (length == 0) continue;
    std::wstring name(length + 1, L'\0');
    if (DragQueryFileW(drop, i, &name[0], length + 1) != length) continue;
    name.resize(length);
    AnsiPath path = AnsiPathOf(name.c_str());
    if (path.kind == AnsiPathKind::kNone) {
      unnamed.push_back(name);
      continue;
    }
    if (IsGifFile(path.path.c_str())) AppendSourceLine(list_, path.path);
  }
  DragFinish(drop);
  for (const std::wstring& name : unnamed)
    MessageBoxW(hwnd(), NoAnsiPathMessage(name.c_str()).c_str(), L"Tervano", MB_OK | MB_ICONERROR);
  UpdateReadyCount();
  Refresh();
}

void MainDialog::TakeHandedFiles() {
  for (const std::string& text : TakeHandedTexts()) {
    if (IsGifFile(text.c_str())) AppendSourceLine(list_, text);
  }
  UpdateReadyCount();
  Refresh();
}
