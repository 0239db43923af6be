#include "drive.h"

#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>

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

RunningProgram::RunningProgram(const std::string& args, const std::string& folder, bool suspended)
    : RunningProgram(Wide(args), Wide(folder), suspended) {}

RunningProgram::RunningProgram(const std::wstring& args, const std::wstring& folder, bool suspended) {
  std::wstring line = L"\"" + Wide(ProgramPath()) + L"\"" + (args.empty() ? L"" : L" " + args);
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, suspended ? CREATE_SUSPENDED : 0, nullptr,
                      folder.empty() ? nullptr : folder.c_str(), &startup, &process_)) {
    process_ = PROCESS_INFORMATION();
  }
}

std::wstring Wide(const std::string& text) {
  std::wstring wide(text.size(), L'\0');
  int n = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &wide[0],
                              static_cast<int>(wide.size()));
  wide.resize(n > 0 ? static_cast<size_t>(n) : 0);
  return wide;
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

void RunningProgram::Resume() {
  if (process_.hThread) ResumeThread(process_.hThread);
}

long RunningProgram::EndedAfter(const FILETIME& since) const {
  FILETIME created, ended, kernel, user;
  if (!process_.hProcess || WaitForSingleObject(process_.hProcess, 0) != WAIT_OBJECT_0 ||
      !GetProcessTimes(process_.hProcess, &created, &ended, &kernel, &user)) {
    return -1;
  }
  auto ticks = [](const FILETIME& t) { return (static_cast<long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime; };
  return static_cast<long>((ticks(ended) - ticks(since)) / 10000);  // 100 ns units
}

StartedTogether StartTogether(const std::vector<std::string>& texts) {
  StartedTogether started;
  for (const std::string& text : texts) started.programs.emplace_back(new RunningProgram(text, std::string(), true));
  GetSystemTimeAsFileTime(&started.start);
  for (auto& program : started.programs) program->Resume();
  return started;
}

long StartedTogether::WaitEnd(DWORD milliseconds, DWORD stays) {
  long slowest = 0;
  DWORD begin = GetTickCount();
  for (auto& program : programs) {
    if (program->id() == stays) continue;
    DWORD waited = GetTickCount() - begin;
    if (!program->WaitExit(waited < milliseconds ? milliseconds - waited : 0)) return -1;
    slowest = std::max(slowest, program->EndedAfter(start));
  }
  return slowest;
}

bool WaitFor(const std::function<bool()>& done, DWORD milliseconds) {
  for (DWORD waited = 0; !done(); waited += 50) {
    if (waited >= milliseconds) return false;
    Sleep(50);
  }
  return true;
}

namespace {

struct Search {
  std::wstring title;
  DWORD pid;
  HWND found;
  int count;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<Search*>(data);
  if (!IsWindowVisible(window) || WideText(window) != search->title) return TRUE;
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (search->pid && pid != search->pid) return TRUE;
  search->found = window;
  ++search->count;
  return TRUE;
}

}  // namespace

HWND WaitForWindow(const char* title, DWORD pid, DWORD milliseconds) {
  return WaitForWindow(Wide(title), pid, milliseconds);
}

HWND WaitForWindow(const std::wstring& title, DWORD pid, DWORD milliseconds) {
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

bool WindowGoes(const char* title, DWORD pid, DWORD milliseconds) {
  return WaitFor(
      [&] {
        Search search = {Wide(title), pid, nullptr, 0};
        EnumWindows(&MatchWindow, reinterpret_cast<LPARAM>(&search));
        return search.found == nullptr;
      },
      milliseconds);
}

int CountWindows(const char* title) {
  Search search = {Wide(title), 0, nullptr, 0};
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

std::wstring WideText(HWND window) {
  std::vector<wchar_t> text(70000);
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), SMTO_ABORTIFHUNG,
                           5000, &length))
    return std::wstring();
  return std::wstring(text.data(), length < text.size() ? length : 0);
}

namespace {

BOOL CALLBACK MatchId(HWND child, LPARAM data) {
  auto* find = reinterpret_cast<std::pair<int, HWND>*>(data);
  if (GetDlgCtrlID(child) != find->first) return TRUE;
  find->second = child;
  return FALSE;
}

}  // namespace

HWND FindDescendant(HWND window, int id) {
  std::pair<int, HWND> find(id, nullptr);
  EnumChildWindows(window, &MatchId, reinterpret_cast<LPARAM>(&find));
  return find.second;
}

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
  // The item key only reaches an open menu: on a busy machine the popup can
  // take longer than any fixed pause. Other programs keep hidden menu
  // windows too, so every one is looked at; and as Wine now and then lets a
  // menu key go unanswered after a file dialog, it is pressed again.
  DWORD thread = GetWindowThreadProcessId(window, nullptr);
  auto open = [&] {
    for (HWND popup = nullptr; (popup = FindWindowExA(nullptr, popup, "#32768", nullptr)) != nullptr;) {
      if (IsWindowVisible(popup) && GetWindowThreadProcessId(popup, nullptr) == thread) return true;
    }
    return false;
  };
  for (int attempt = 0; attempt < 3; ++attempt) {
    PostMessageA(window, WM_SYSCOMMAND, SC_KEYMENU, menuKey);
    if (WaitFor(open, 4000)) break;
  }
  Sleep(100);
  PostMessageA(window, WM_CHAR, static_cast<unsigned char>(itemKey), 0);
  Sleep(500);
  // A grey item leaves nothing open; if a menu still is, close it.
  PostMessageA(window, WM_KEYDOWN, VK_ESCAPE, 0);
  PostMessageA(window, WM_KEYDOWN, VK_ESCAPE, 0);
  Settle(window);
}

std::vector<std::string> ListLines(HWND window) {
  std::string text = ItemText(window, 1001);
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
    lines.push_back(text.substr(start, end - start));
  lines.push_back(text.substr(start));
  return lines;
}

bool ChooseDestination(HWND window, DWORD pid, const std::string& folder) {
  const std::string line = "Dest--目标文件夹为: " + folder;
  // The tree fills in while the browser shows and can move the selection
  // back, and now and then a browser never takes it: the choice is
  // repeated, in a new browser if need be (its line replaces the last one).
  for (int attempt = 0; attempt < 3; ++attempt) {
    Command(window, 32776);
    HWND browse = WaitForWindow("目标文件夹", pid);
    RemoteMemory path(browse, folder.size() + 1);
    if (!browse || !path.Write(0, folder.c_str(), folder.size() + 1)) return false;
    for (int i = 0; i < 6; ++i) {
      Sleep(300);
      SendMessageA(browse, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(path.address()));
    }
    Click(browse, IDOK);
    if (WaitFor([&] { return ListLines(window).back() == line; }, 2000)) return true;
  }
  return false;
}

std::string PickerFolder(const std::string& name) {
  char temp[MAX_PATH] = "";
  DWORD n = GetTempPathA(sizeof temp, temp);
  std::string parent(temp, n > 0 && n < sizeof temp ? n - 1 : 0);
  // Beside the temp folder, not in it, and a new name each time: the
  // browser finds a folder only while each folder on the way still looks
  // (time stamps included) as when it listed it.
  parent = parent.substr(0, parent.find_last_of('\\') + 1) + "tervano-pickers";
  CreateDirectoryA(parent.c_str(), nullptr);
  std::string earlier = parent + "\\" + name + "-*";
  earlier.push_back('\0');  // the list of paths ends with two zeros
  SHFILEOPSTRUCTA removal = {};
  removal.wFunc = FO_DELETE;
  removal.pFrom = earlier.c_str();
  removal.fFlags = FOF_NO_UI;
  SHFileOperationA(&removal);
  std::string folder = parent + "\\" + name + "-" + std::to_string(GetTickCount());
  return CreateDirectoryA(folder.c_str(), nullptr) ? folder : std::string();
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
