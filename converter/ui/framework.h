// A small dialog framework over plain Win32: dialogs built from templates
// (modal or modeless), commands routed by id to overridable handlers, data
// exchange between controls and values, a filtering step before dispatch,
// and controls that take over a dialog's existing control window.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

// A control class that takes over (subclasses) a control of a dialog.
class StaticControl {
 public:
  StaticControl() = default;
  virtual ~StaticControl();
  StaticControl(const StaticControl&) = delete;
  StaticControl& operator=(const StaticControl&) = delete;

  virtual const char* ClassName() const { return "StaticControl"; }
  // Takes over control id of dialog; 1 success, 0 failure.
  int SubclassDlgItem(int id, HWND dialog);
  HWND hwnd() const { return hwnd_; }

  // Sees each message of the loop before it is dispatched; true when the
  // message was consumed.
  virtual bool PreTranslateMessage(MSG* msg);
  // The dialog's colour request for this control, reflected back to it:
  // the brush to paint with, or null for the default colours.
  virtual HBRUSH OnCtlColor(HDC dc);

 protected:
  // Runs once the control's window has been taken over.
  virtual void OnAttach() {}
  virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
  // The control's own handling of a message.
  LRESULT Default(UINT message, WPARAM wParam, LPARAM lParam);

 private:
  static LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void Detach();
  HWND hwnd_ = nullptr;
  WNDPROC original_ = nullptr;
};

// How a text of the program is kept: paths and the list as UTF-8, the
// program's Chinese texts as GB2312, a stored link address in the ANSI code
// page (as the settings keep it). Windows get each as UTF-16.
enum class TextCoding { kUtf8, kProgram, kAnsi };

// The text of a window or control.
std::wstring WindowText(HWND window);

// Moves values between a dialog's controls and their variables: refresh
// writes values into the controls, collect reads them back.
class DataExchange {
 public:
  DataExchange(HWND dialog, bool collect, std::vector<StaticControl*>& controls)
      : dialog_(dialog), collect_(collect), controls_(controls) {}
  bool collecting() const { return collect_; }
  void Text(int id, std::string& value, TextCoding coding = TextCoding::kUtf8);
  void Check(int id, int32_t& value);
  // Attaches control to the dialog's control id on first exchange.
  void Control(int id, StaticControl& control);

 private:
  HWND dialog_;
  bool collect_;
  std::vector<StaticControl*>& controls_;
};

class Dialog {
 public:
  Dialog(int templateId, HWND parent) : templateId_(templateId), parent_(parent) {}
  virtual ~Dialog();
  Dialog(const Dialog&) = delete;
  Dialog& operator=(const Dialog&) = delete;

  // Runs the dialog modally over its parent with its own message loop (so
  // the filtering step runs); returns the value given to EndDialog, or -1
  // when the dialog could not be created.
  INT_PTR DoModal();
  // Creates the dialog modeless and hidden; 1 success, 0 failure.
  int Create();
  // Ends a modal run.
  void EndDialog(INT_PTR result);
  HWND hwnd() const { return hwnd_; }
  HWND Item(int id) const { return GetDlgItem(hwnd_, id); }

  // false: refresh the controls from the values; true: collect them.
  void UpdateData(bool collect);
  // The filtering step: relays to attached controls, then dialog keys.
  virtual bool PreTranslateMessage(MSG* msg);

 protected:
  // Command by id; return true when handled. The default runs OnOK for 1
  // and OnCancel for 2.
  virtual bool OnCommand(int id, int code, HWND control);
  virtual void DoDataExchange(DataExchange& exchange);
  // Any other message; return true with result when handled.
  virtual bool WindowProc(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
  // Default: refresh. Return true to let the system set the focus.
  virtual bool OnInitDialog();
  virtual void OnOK();
  virtual void OnCancel();

 private:
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  StaticControl* AttachedControl(HWND window) const;

  int templateId_;
  HWND parent_;
  HWND hwnd_ = nullptr;
  bool running_ = false;
  INT_PTR result_ = 0;
  std::vector<StaticControl*> controls_;
};

// Copies text into a fixed buffer of size bytes; false (and an empty
// buffer) when it does not fit with its terminator.
bool CopyToBuffer(const std::string& text, char* buffer, size_t size);
