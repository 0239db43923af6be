// The converter's main window: the list of GIF files with its destination
// lines, the loop and link options, and the commands of its menu.
//
// Design: converter/ui is the Windows desktop program on top of everything:
// dialog framework, windows, pickers, start-up (start_up.h) and WinMain. It
// uses converter/app and converter/platform only.
#pragma once
#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "app/settings_store.h"
#include "app/window_rules.h"
#include "framework.h"
#include "resource.h"
#include "start_batch.h"
#include "tervano_version.h"

// The exact title and the class by which other copies of the program find
// the window (FindMainWindow).
constexpr const char* kMainWindowTitle = "Tervano v" TERVANO_VERSION;
constexpr const char* kMainWindowClass = MAIN_WINDOW_CLASS;
constexpr const wchar_t* kMainWindowTitleW = L"Tervano v" TERVANO_VERSION;
constexpr const wchar_t* kMainWindowClassW = L"" MAIN_WINDOW_CLASS;
// Sent or posted by copies that left files in the settings key.
constexpr UINT WM_TAKE_FILES = WM_USER + 10;
// One-shot timer that collects files handed over before the window existed.
constexpr UINT_PTR TIMER_TAKE_FILES = 105;

// Registers the main window's class, a dialog class of the program's own;
// false when it cannot be registered (the window then cannot be created).
bool RegisterMainWindowClass();
// The running main window of any copy of the program, or null.
HWND FindMainWindow();

class MainDialog : public Dialog {
 public:
  // startupFiles: the paths named on the command line (maybe none).
  explicit MainDialog(const std::vector<std::string>& startupFiles);
  ~MainDialog() override;

  FileList& list() { return list_; }
  const MainWindowOptions& options() const { return options_; }
  // Count label and convert commands after the list has grown.
  void UpdateReadyCount();

 protected:
  bool OnCommand(int id, int code, HWND control) override;
  void DoDataExchange(DataExchange& exchange) override;
  bool WindowProc(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
  bool OnInitDialog() override;

 private:
  void AttachMenu();
  // Window icons at the sizes for the window's DPI.
  void ShowIcons();
  void EnableConvertCommands(bool enable);
  void EnableLoopControls();
  void OnAddFiles();
  void OnReset();
  void OnDestinationFolder();
  void OnSaveAs();
  void OnConvert();
  void OnLoopChoice(bool change);
  void OnLoopForever();
  void OnUrlToggle();
  void OnPlayCountChanged();
  void OnPlayCountLeft();
  void OnPublishSettings();
  void OnHelpTopics();
  void OnAbout();
  void OnExit();
  void OnDrop(HDROP drop);
  // WM_TAKE_FILES: the GIF files that other copies left in the settings key
  // join the list, in the order of their numbers.
  void TakeHandedFiles();
  // Writing a value into a field must not run the field's change rules.
  void Refresh() {
    refreshing_ = true;
    UpdateData(false);
    refreshing_ = false;
  }
  void Collect() { UpdateData(true); }

  FileList list_;
  std::string readyCountText_;
  MainWindowOptions options_;
  std::vector<std::string> startupFiles_;
  PublishSettings publish_;  // edited by the publish settings dialog
  std::string openFolder_;  // where the open-file dialog starts
  HICON icon_ = nullptr;
  HICON smallIcon_ = nullptr;
  bool refreshing_ = false;
  RunningBatch batch_;
};
