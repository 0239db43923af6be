#include "start_up.h"

#include <cstring>

#include "app/conversion_job.h"
#include "app/start_up_paths.h"

namespace {

template <typename Char>
const Char* AfterProgramName(const Char* p) {
  if (*p == '"') {
    ++p;
    while (*p && *p != '"') ++p;
    if (*p == '"') ++p;
  } else {
    while (*p && *p != ' ' && *p != '\t') ++p;
  }
  while (*p == ' ' || *p == '\t') ++p;
  return p;
}

}  // namespace

#ifdef _WIN32
#include <commctrl.h>
#include <objbase.h>

#include "app/hand_off.h"
#include "app/settings_store.h"
#include "platform/ansi_path.h"
#include "platform/process_lock.h"
#include "platform/registry_keys.h"
#include "platform/virtual_store.h"
#include "main_dialog.h"

namespace {

// Each path of the quiet command converted on its own; 1 when any was not.
int QuietConvertEach(const std::string& rest) {
  std::vector<std::string> paths = StartUpPaths(rest);
  int code = paths.empty() ? 1 : 0;
  for (const std::string& path : paths) {
    if (!Succeeded(QuietConvertFile(path.c_str()))) code = 1;
  }
  return code;
}

// The claim of the copy that made the start-up marker: a named mutex that
// the system lets go when that copy ends.
class StartingClaim {
 public:
  StartingClaim() : mutex_(CreateMutexA(nullptr, FALSE, kStartingOwnerName)) {
    if (!mutex_) return;
    DWORD r = WaitForSingleObject(mutex_, 0);
    held_ = r == WAIT_OBJECT_0 || r == WAIT_ABANDONED;
  }
  ~StartingClaim() {
    Release();
    if (mutex_) CloseHandle(mutex_);
  }
  StartingClaim(const StartingClaim&) = delete;
  StartingClaim& operator=(const StartingClaim&) = delete;
  void Release() {
    if (held_) ReleaseMutex(mutex_);
    held_ = false;
  }

 private:
  HANDLE mutex_;
  bool held_ = false;
};

// Whether a copy that is still running holds the claim. Free or abandoned
// (its holder ended without opening a window) means the marker is stale.
bool StartingCopyAlive() {
  HANDLE mutex = OpenMutexA(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, kStartingOwnerName);
  if (!mutex) return false;
  DWORD r = WaitForSingleObject(mutex, 0);
  if (r == WAIT_OBJECT_0 || r == WAIT_ABANDONED) ReleaseMutex(mutex);
  CloseHandle(mutex);
  return r == WAIT_TIMEOUT;
}

int RunWindow(const std::vector<std::string>& paths, StartingClaim* claim);

// What a standard user's copy without a manifest (an older version) wrote
// went to Windows' virtual store, which this copy no longer sees. Under the
// hand-off lock: files handed over there join the list being handed now.
void TakeOverVirtualizedSettings() {
  ProcessLock lock(kHandOffLockName);
  (void)lock.Acquire(kHandOffLockWaitMs);  // moves all the same
  // Whatever could not be moved stays there for the next start.
  (void)MoveVirtualizedValues(kSettingsKeyPath, kNumFilesValue);
}

}  // namespace

std::string StartUpText() {
  const wchar_t* wide = AfterProgramName(GetCommandLineW());
  std::string text;
  if (ExactAnsiText(wide, text)) return text;
  // Some name needs its short form: rebuild the text path by path.
  std::wstring rest = wide;
  text.clear();
  if (rest.compare(0, 6, L"-quite") == 0) {
    text = "-quite";
    rest.erase(0, 6);
  }
  for (const std::wstring& path : StartUpPaths(rest)) {
    AnsiPath narrow = AnsiPathOf(path.c_str());
    if (narrow.kind == AnsiPathKind::kNone) {
      MessageBoxW(nullptr, NoAnsiPathMessage(path.c_str()).c_str(), L"Tervano", MB_OK | MB_ICONERROR);
      continue;
    }
    if (!text.empty()) text += ' ';
    text += '"' + narrow.path + '"';
  }
  return text;
}

int StartUp(const std::string& text) {
  TakeOverVirtualizedSettings();
  std::string rest;
  if (QuietCommandRest(text, rest)) return QuietConvertEach(rest);
  std::vector<std::string> paths = StartUpPaths(text);
  if (paths.empty()) {
    // A running window is left as it is.
    if (FindMainWindow()) return 0;
    return RunWindow(paths, nullptr);
  }
  // Copies started at the same moment decide one after the other, so only
  // the first opens a window and the others hand their files to it. The
  // window deletes the marker under the same lock, once it can be found.
  ProcessLock decision(kHandOffLockName);
  (void)decision.Acquire(kHandOffLockWaitMs);  // decides all the same
  HWND running = FindMainWindow();
  // Without a window, one that is starting collects the files by its timer.
  if (running || (KeyExists(kStartingMarkerKey) && StartingCopyAlive())) {
    HandOffFiles(paths, running, decision);
    return 0;
  }
  // The claim comes first: a copy that sees the marker also sees its owner.
  StartingClaim claim;
  (void)CreateKey(kStartingMarkerKey);  // without it a copy just after may open a window too
  decision.Release();
  return RunWindow(paths, &claim);
}

void HandOffFiles(const std::vector<std::string>& paths, HWND runningWindow, ProcessLock& decision) {
  // The store takes the lock again; this thread already holds it.
  for (const std::string& path : paths) (void)StoreHandedText(path.c_str());  // no window to tell
  decision.Release();
  if (!runningWindow) return;
  // A window that does not answer must not hold up this copy, nor Explorer
  // that started it: the values wait, and the posted notice reaches the
  // window when it answers again.
  DWORD_PTR answer = 0;
  if (!SendMessageTimeoutA(runningWindow, WM_TAKE_FILES, 0, 0, SMTO_ABORTIFHUNG, kHandOffNoticeMs, &answer))
    PostMessageA(runningWindow, WM_TAKE_FILES, 0, 0);
}

namespace {

int RunWindow(const std::vector<std::string>& paths, StartingClaim* claim) {
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_WIN95_CLASSES};
  InitCommonControlsEx(&controls);
  // The folder browsers need COM on this thread.
  HRESULT com = CoInitialize(nullptr);
  int code = 1;
  {
    MainDialog window(paths);
    bool created = RegisterMainWindowClass() && window.Create();
    if (claim) {
      if (!created) {
        // No window will delete the marker: this copy does.
        ProcessLock lock(kHandOffLockName);
        (void)lock.Acquire(kHandOffLockWaitMs);
        (void)DeleteKey(kStartingMarkerKey);  // one left is found stale by the next copy
      }
      claim->Release();
    }
    if (created) {
      ShowWindow(window.hwnd(), SW_SHOW);
      MSG msg;
      BOOL got;
      while ((got = GetMessageA(&msg, nullptr, 0, 0)) > 0) {
        if (!window.PreTranslateMessage(&msg)) {
          TranslateMessage(&msg);
          DispatchMessageA(&msg);
        }
      }
      code = got == 0 ? static_cast<int>(msg.wParam) : 1;
    }
  }
  if (SUCCEEDED(com)) CoUninitialize();
  return code;
}

}  // namespace
#endif
