// Message boxes, with a recorder that tests install to see what would have
// been shown. While a recorder is installed no real box appears.
#pragma once
#include <mutex>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
using WindowHandle = HWND;
#else
using WindowHandle = void*;  // no windows off Windows; always null
#endif

#ifndef _WIN32
// Styles and answers as the Windows API numbers them.
constexpr unsigned MB_OK = 0x00;
constexpr unsigned MB_OKCANCEL = 0x01;
constexpr unsigned MB_ABORTRETRYIGNORE = 0x02;
constexpr unsigned MB_YESNOCANCEL = 0x03;
constexpr unsigned MB_YESNO = 0x04;
constexpr unsigned MB_RETRYCANCEL = 0x05;
constexpr unsigned MB_ICONHAND = 0x10;
constexpr unsigned MB_ICONERROR = MB_ICONHAND;
constexpr unsigned MB_ICONQUESTION = 0x20;
constexpr unsigned MB_ICONEXCLAMATION = 0x30;
constexpr unsigned MB_ICONWARNING = MB_ICONEXCLAMATION;
constexpr unsigned MB_ICONASTERISK = 0x40;
constexpr unsigned MB_ICONINFORMATION = MB_ICONASTERISK;
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDABORT = 3;
constexpr int IDRETRY = 4;
constexpr int IDIGNORE = 5;
constexpr int IDYES = 6;
constexpr int IDNO = 7;
#endif

// Shows a modal box (owner may be null) and returns the button chosen. On
// Windows this is MessageBoxA. Elsewhere caption and text go to standard
// error and the first button of the style is the answer.
int ShowMessageBox(WindowHandle owner, const char* text, const char* caption,
                   unsigned style);

struct RecordedMessageBox {
  bool hadOwner = false;
  std::string text;
  std::string caption;
  unsigned style = 0;
};

// Installs itself for its lifetime (the previous one comes back after);
// safe to use from any thread.
class MessageBoxRecorder {
 public:
  explicit MessageBoxRecorder(int answer = 1 /* IDOK */);
  ~MessageBoxRecorder();
  MessageBoxRecorder(const MessageBoxRecorder&) = delete;
  MessageBoxRecorder& operator=(const MessageBoxRecorder&) = delete;

  std::vector<RecordedMessageBox> Boxes() const;
  int Record(const RecordedMessageBox& box);

 private:
  mutable std::mutex mutex_;
  std::vector<RecordedMessageBox> boxes_;
  int answer_;
  MessageBoxRecorder* previous_;
};
