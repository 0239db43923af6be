#include "start_up.h"

#include <cstring>

#include "app/conversion_job.h"

std::string CommandLineText(const char* commandLine) {
  const char* p = commandLine ? commandLine : "";
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

#ifdef _WIN32
#include <commctrl.h>
#include <objbase.h>

#include "app/hand_off.h"
#include "platform/process_lock.h"
#include "platform/registry_keys.h"
#include "main_dialog.h"

int StartUp(const std::string& text) {
  if (text.empty()) {
    // A running window is left as it is.
    if (FindWindowA(nullptr, kMainWindowTitle)) return 0;
    return RunMainWindow(nullptr);
  }
  if (text.compare(0, 6, "-quite") == 0) {
    QuietConvert(text.c_str());
    return 0;
  }
  // Copies started at the same moment decide one after the other, so only
  // the first opens a window and the others hand their files to it. The
  // window deletes the marker under the same lock, once it can be found.
  ProcessLock decision(kHandOffLockName);
  decision.Acquire(kHandOffLockWaitMs);
  HWND running = FindWindowA(nullptr, kMainWindowTitle);
  // Without a window, one that is starting collects the file by its timer.
  if (running || KeyExists(kStartingMarkerKey)) {
    HandOffFiles(text.c_str(), running, decision);
    return 0;
  }
  CreateKey(kStartingMarkerKey);
  decision.Release();
  return RunMainWindow(text.c_str());
}

void HandOffFiles(const char* text, HWND runningWindow, ProcessLock& decision) {
  // The store takes the lock again; this thread already holds it.
  StoreHandedText(text);
  decision.Release();
  if (runningWindow) SendMessageA(runningWindow, WM_TAKE_FILES, 0, 0);
}

int RunMainWindow(const char* initialText) {
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_WIN95_CLASSES};
  InitCommonControlsEx(&controls);
  // The folder browsers need COM on this thread.
  HRESULT com = CoInitialize(nullptr);
  int code = 1;
  {
    MainDialog window(initialText);
    if (window.Create()) {
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
#endif
