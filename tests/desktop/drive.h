// Drives the real tervano.exe from another process, as a user's clicks
// would: start it, find its windows by title, send commands and clicks,
// read texts and states. Windows (Wine) only.
#pragma once
#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

// The program under test: $TERVANO_EXE (a Unix path is taken as Z:).
std::string ProgramPath();

class RunningProgram {
 public:
  // Starts the program with the command-line text args in folder (empty:
  // the current folder).
  RunningProgram(const std::string& args, const std::string& folder = std::string(), bool suspended = false);
  // The same with a wide command line, as Explorer and Send To start it.
  RunningProgram(const std::wstring& args, const std::wstring& folder, bool suspended = false);
  ~RunningProgram();  // ends the process if it still runs
  RunningProgram(const RunningProgram&) = delete;
  RunningProgram& operator=(const RunningProgram&) = delete;
  bool started() const { return process_.hProcess != nullptr; }
  DWORD id() const { return process_.dwProcessId; }
  // Waits for the process to end; false on time-out.
  bool WaitExit(DWORD milliseconds, DWORD* code = nullptr);
  // Lets a program started suspended run.
  void Resume();
  // Milliseconds from since (a GetSystemTimeAsFileTime value) to the
  // process's end; -1 while it runs.
  long EndedAfter(const FILETIME& since) const;

 private:
  PROCESS_INFORMATION process_ = {};
};

// Programs started once for each text, all at the same moment (created
// suspended, then let go together).
struct StartedTogether {
  std::vector<std::unique_ptr<RunningProgram>> programs;
  FILETIME start = {};
  // Waits for all but the program with process id `stays` to end; the
  // longest time one of them ran, in milliseconds, or -1 on time-out.
  long WaitEnd(DWORD milliseconds, DWORD stays = 0);
};
StartedTogether StartTogether(const std::vector<std::string>& texts);

// Polls done every 50 ms for up to milliseconds.
bool WaitFor(const std::function<bool()>& done, DWORD milliseconds);

// A visible top-level window with exactly this title (of process pid when
// not 0), waited for up to milliseconds; null when none came.
HWND WaitForWindow(const char* title, DWORD pid, DWORD milliseconds = 15000);
HWND WaitForWindow(const std::wstring& title, DWORD pid, DWORD milliseconds = 15000);
// Whether no such window is left within milliseconds: a dialog ended by a
// click is destroyed only after its own loop has returned.
bool WindowGoes(const char* title, DWORD pid, DWORD milliseconds = 5000);
// How many top-level windows have exactly this title.
int CountWindows(const char* title);
// Text of a window or of a dialog's control.
std::string Text(HWND window);
std::string ItemText(HWND dialog, int id);
// Text of a window as the window holds it, in any locale.
std::wstring WideText(HWND window);
// A narrow text of the tests (the ANSI code page) as UTF-16.
std::wstring Wide(const std::string& text);
// A descendant of window with this control id (pickers nest their parts).
HWND FindDescendant(HWND window, int id);
// A command as a menu item or button sends it. Post: for commands that
// open a modal window. Send: waits until the command has been handled.
void Command(HWND window, int id);
bool Send(HWND window, int id, DWORD milliseconds = 120000);
// Waits until the window's thread has handled what was sent before.
bool Settle(HWND window, DWORD milliseconds = 20000);
// Clicks a dialog's button and waits until the click has been handled.
void Click(HWND dialog, int id);
// Waits until a control shows expected (for results of a closed picker,
// which the window takes after the picker's own loop has ended).
bool ItemTextBecomes(HWND dialog, int id, const std::string& expected, DWORD milliseconds = 10000);
// Opens the window's menu with the keyboard (Alt and menuKey) and picks the
// item with the mnemonic itemKey, as a user would: a grey item runs nothing.
void PickMenuItem(HWND window, char menuKey, char itemKey);

// The lines of the main window's list, as it shows them.
std::vector<std::string> ListLines(HWND window);
// Chooses folder in the main window's destination-folder browser.
bool ChooseDestination(HWND window, DWORD pid, const std::string& folder);
// A fresh folder where the shell's pickers can reach it (on the Wine
// prefix's own drive: the pickers cannot browse every drive).
std::string PickerFolder(const std::string& name);

// Memory in another process, for messages that carry pointers.
class RemoteMemory {
 public:
  RemoteMemory(HWND owner, size_t size);
  ~RemoteMemory();
  RemoteMemory(const RemoteMemory&) = delete;
  RemoteMemory& operator=(const RemoteMemory&) = delete;
  void* address() const { return address_; }
  bool Write(size_t offset, const void* data, size_t size);
  bool Read(size_t offset, void* data, size_t size) const;

 private:
  HANDLE process_ = nullptr;
  void* address_ = nullptr;
  size_t size_ = 0;
};
