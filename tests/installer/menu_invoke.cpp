// Chooses an item of the installed context-menu handler as Explorer does:
// the handler comes from the registered CLSID and the selection is the
// shell's own data object for the files.
//   menu_invoke VERB FILE...   (VERB 0: convert, 1: add; files in one folder)
// Exit code 0 when InvokeCommand returned S_OK.
//   menu_invoke list COUNT
// Waits for the main window's list to hold COUNT lines, prints them, closes
// the window and waits for it to go; exit code 0 when all that happened.
//   menu_invoke hold SECONDS FILE
// Keeps a handler, and so its DLL, loaded for that long or until
// "menu_invoke release", as Explorer does; creates FILE once it has it (its
// printed output reaches the caller only at its end). Exit code 0 when the
// handler was made.
#include <windows.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

const CLSID kHandler = {0x3EEBE959, 0x786D, 0x4C99, {0xA4, 0x3D, 0xE5, 0xFA, 0xF0, 0x59, 0x1B, 0xA8}};

std::wstring Wide(const char* text) {
  wchar_t buffer[MAX_PATH];
  if (!MultiByteToWideChar(CP_ACP, 0, text, -1, buffer, MAX_PATH)) return std::wstring();
  return buffer;
}

int Invoke(int verb, int count, char** files) {
  IShellFolder* desktop = nullptr;
  if (FAILED(SHGetDesktopFolder(&desktop))) return 0;
  std::string folderPath(files[0]);
  folderPath.resize(folderPath.find_last_of('\\'));
  std::wstring folderWide = Wide(folderPath.c_str());
  PIDLIST_ABSOLUTE folderId = nullptr;
  IShellFolder* folder = nullptr;
  int ok = SUCCEEDED(desktop->ParseDisplayName(nullptr, nullptr, &folderWide[0], nullptr,
                                               reinterpret_cast<PIDLIST_RELATIVE*>(&folderId), nullptr)) &&
           SUCCEEDED(desktop->BindToObject(folderId, nullptr, IID_IShellFolder,
                                           reinterpret_cast<void**>(&folder)));
  std::vector<PITEMID_CHILD> children;
  for (int i = 0; ok && i < count; ++i) {
    std::wstring name = Wide(std::strrchr(files[i], '\\') + 1);
    PIDLIST_RELATIVE child = nullptr;
    ok = SUCCEEDED(folder->ParseDisplayName(nullptr, nullptr, &name[0], nullptr, &child, nullptr));
    if (ok) children.push_back(reinterpret_cast<PITEMID_CHILD>(child));
  }
  IDataObject* data = nullptr;
  ok = ok && SUCCEEDED(folder->GetUIObjectOf(nullptr, children.size(),
                                             const_cast<PCUITEMID_CHILD_ARRAY>(children.data()),
                                             IID_IDataObject, nullptr, reinterpret_cast<void**>(&data)));
  if (!ok) std::fprintf(stderr, "menu_invoke: no shell data object for the files\n");
  IContextMenu* menu = nullptr;
  if (ok && FAILED(CoCreateInstance(kHandler, nullptr, CLSCTX_INPROC_SERVER, IID_IContextMenu,
                                    reinterpret_cast<void**>(&menu)))) {
    std::fprintf(stderr, "menu_invoke: the handler's class is not registered\n");
    ok = 0;
  }
  IShellExtInit* init = nullptr;
  ok = ok && SUCCEEDED(menu->QueryInterface(IID_IShellExtInit, reinterpret_cast<void**>(&init))) &&
       init->Initialize(folderId, data, nullptr) == S_OK;
  HMENU popup = CreatePopupMenu();
  ok = ok && menu->QueryContextMenu(popup, 0, 1, 0x7fff, CMF_NORMAL) == MAKE_HRESULT(0, 0, 2);
  if (ok) {
    CMINVOKECOMMANDINFO info = {};
    info.cbSize = sizeof info;
    info.lpVerb = MAKEINTRESOURCEA(verb);
    info.nShow = SW_SHOWNORMAL;
    ok = menu->InvokeCommand(&info) == S_OK;
  }
  if (popup) DestroyMenu(popup);
  if (init) init->Release();
  if (menu) menu->Release();
  if (data) data->Release();
  for (PITEMID_CHILD child : children) CoTaskMemFree(child);
  if (folder) folder->Release();
  if (folderId) CoTaskMemFree(folderId);
  desktop->Release();
  return ok;
}

std::string ListText(HWND window) {
  char text[4096] = "";
  SendMessageTimeoutA(GetDlgItem(window, 1001), WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text),
                      SMTO_ABORTIFHUNG, 2000, nullptr);
  text[sizeof text - 1] = '\0';
  return text;
}

int LineCount(const std::string& text) {
  if (text.empty()) return 0;
  int lines = 1;
  for (size_t at = 0; (at = text.find("\r\n", at)) != std::string::npos; at += 2) ++lines;
  return lines;
}

int ListAndClose(int count) {
  HWND window = nullptr;
  std::string text;
  for (int i = 0; i < 150 && LineCount(text) != count; ++i) {
    Sleep(100);
    if (!window) window = FindWindowA(nullptr, "Tervano v2.5");
    if (window) text = ListText(window);
  }
  std::printf("%s\n", text.c_str());
  if (!window) return 0;
  PostMessageA(window, WM_CLOSE, 0, 0);
  for (int i = 0; i < 100 && IsWindow(window); ++i) Sleep(100);
  return LineCount(text) == count && !IsWindow(window);
}

constexpr char kReleaseEvent[] = "TervanoTest.ReleaseHeldHandler";

int Release() {
  HANDLE release = OpenEventA(EVENT_MODIFY_STATE, FALSE, kReleaseEvent);
  if (!release) return 0;
  SetEvent(release);
  CloseHandle(release);
  return 1;
}

int Hold(int seconds, const char* file) {
  if (FAILED(CoInitialize(nullptr))) return 0;
  IContextMenu* menu = nullptr;
  bool made = SUCCEEDED(CoCreateInstance(kHandler, nullptr, CLSCTX_INPROC_SERVER, IID_IContextMenu,
                                         reinterpret_cast<void**>(&menu)));
  if (made) {
    HANDLE release = CreateEventA(nullptr, TRUE, FALSE, kReleaseEvent);
    HANDLE held = CreateFileA(file, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
    WaitForSingleObject(release, static_cast<DWORD>(seconds) * 1000);
    if (release) CloseHandle(release);
    menu->Release();
  }
  CoUninitialize();
  return made;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "list") == 0) return ListAndClose(std::atoi(argv[2])) ? 0 : 1;
  if (argc == 4 && std::strcmp(argv[1], "hold") == 0) return Hold(std::atoi(argv[2]), argv[3]) ? 0 : 1;
  if (argc == 2 && std::strcmp(argv[1], "release") == 0) return Release() ? 0 : 1;
  if (argc < 3 || (std::strcmp(argv[1], "0") != 0 && std::strcmp(argv[1], "1") != 0)) {
    std::fprintf(stderr, "usage: menu_invoke 0|1 FILE...\n");
    return 2;
  }
  for (int i = 2; i < argc; ++i)
    if (!std::strrchr(argv[i], '\\')) return 2;
  if (FAILED(CoInitialize(nullptr))) return 1;
  int ok = Invoke(argv[1][0] - '0', argc - 2, argv + 2);
  CoUninitialize();
  return ok ? 0 : 1;
}
