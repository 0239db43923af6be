#include "drive.h"

#include <vector>

std::string ProgramPath() {
  char value[1024] = "";
  DWORD n = GetEnvironmentVariableA("TERVANO_EXE", value, sizeof value);
  std::string path = n > 0 && n < sizeof value ? value : "tervano.exe";
  if (!path.empty() && path[0] == '/') {
    for (char& c : path) c = c == '/' ? '\\' : c;
    path = "Z:" + path;
  }
  return path;
}

RunningProgram::RunningProgram(const std::string& args, const std::string& folder) {
  std::string line = "\"" + ProgramPath() + "\"" + (args.empty() ? "" : " " + args);
  std::vector<char> commandLine(line.begin(), line.end());
  commandLine.push_back('\0');
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      folder.empty() ? nullptr : folder.c_str(), &startup, &process_)) {
    process_ = PROCESS_INFORMATION();
  }
}

RunningProgram::~RunningProgram() {
  if (!process_.hProcess) return;
  if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
    TerminateProcess(process_.hProcess, 99);
    WaitForSingleObject(process_.hProcess, 10000);
  }
  CloseHandle(process_.hThread);
  CloseHandle(process_.hProcess);
}

bool RunningProgram::WaitExit(DWORD milliseconds, DWORD* code) {
  if (!process_.hProcess) return false;
  if (WaitForSingleObject(process_.hProcess, milliseconds) != WAIT_OBJECT_0) return false;
  if (code) GetExitCodeProcess(process_.hProcess, code);
  return true;
}

namespace {

struct Search {
  const char* title;
  DWORD pid;
  HWND found;
  int count;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<Search*>(data);
  if (!IsWindowVisible(window) || Text(window) != search->title) return TRUE;
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (search->pid && pid != search->pid) return TRUE;
  search->found = window;
  ++search->count;
  return TRUE;
}

}  // namespace

HWND WaitForWindow(const char* title, DWORD pid, DWORD milliseconds) {
  for (DWORD waited = 0;; waited += 100) {
    Search search = {title, pid, nullptr, 0};
    EnumWindows(&MatchWindow, reinterpret_cast<LPARAM>(&search));
    if (search.found) {
      Settle(search.found);
      return search.found;
    }
    if (waited >= milliseconds) return nullptr;
    Sleep(100);
  }
}

int CountWindows(const char* title) {
  Search search = {title, 0, nullptr, 0};
  EnumWindows(&MatchWindow, reinterpret_cast<LPARAM>(&search));
  return search.count;
}

std::string Text(HWND window) {
  char text[70000];
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text),
                           SMTO_ABORTIFHUNG, 5000, &length)) {
    return std::string();
  }
  return std::string(text, length < sizeof text ? length : 0);
}

std::string ItemText(HWND dialog, int id) { return Text(GetDlgItem(dialog, id)); }

void Command(HWND window, int id) { PostMessageA(window, WM_COMMAND, MAKEWPARAM(id, 0), 0); }

bool Send(HWND window, int id, DWORD milliseconds) {
  DWORD_PTR ignored = 0;
  return SendMessageTimeoutA(window, WM_COMMAND, MAKEWPARAM(id, 0), 0, SMTO_NORMAL, milliseconds,
                             &ignored) != 0;
}

bool Settle(HWND window, DWORD milliseconds) {
  DWORD_PTR ignored = 0;
  return SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, milliseconds, &ignored) != 0;
}

void Click(HWND dialog, int id) {
  DWORD_PTR ignored = 0;
  SendMessageTimeoutA(GetDlgItem(dialog, id), BM_CLICK, 0, 0, SMTO_NORMAL, 10000, &ignored);
}

bool ItemTextBecomes(HWND dialog, int id, const std::string& expected, DWORD milliseconds) {
  for (DWORD waited = 0; ItemText(dialog, id) != expected; waited += 50) {
    if (waited >= milliseconds) return false;
    Sleep(50);
  }
  return true;
}

void PickMenuItem(HWND window, char menuKey, char itemKey) {
  PostMessageA(window, WM_SYSCOMMAND, SC_KEYMENU, menuKey);
  Sleep(500);
  PostMessageA(window, WM_CHAR, static_cast<unsigned char>(itemKey), 0);
  Sleep(500);
  // A grey item leaves nothing open; if a menu still is, close it.
  PostMessageA(window, WM_KEYDOWN, VK_ESCAPE, 0);
  PostMessageA(window, WM_KEYDOWN, VK_ESCAPE, 0);
  Settle(window);
}

RemoteMemory::RemoteMemory(HWND owner, size_t size) : size_(size) {
  DWORD pid = 0;
  GetWindowThreadProcessId(owner, &pid);
  process_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
  if (process_) address_ = VirtualAllocEx(process_, nullptr, size, MEM_COMMIT, PAGE_READWRITE);
}

RemoteMemory::~RemoteMemory() {
  if (address_) VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
  if (process_) CloseHandle(process_);
}

bool RemoteMemory::Write(size_t offset, const void* data, size_t size) {
  if (!address_ || offset + size > size_) return false;
  return WriteProcessMemory(process_, static_cast<char*>(address_) + offset, data, size, nullptr) != 0;
}

bool RemoteMemory::Read(size_t offset, void* data, size_t size) const {
  if (!address_ || offset + size > size_) return false;
  return ReadProcessMemory(process_, static_cast<char*>(address_) + offset, data, size, nullptr) != 0;
}
