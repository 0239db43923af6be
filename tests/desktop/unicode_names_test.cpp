// File names that no single code page holds (Hangul with a blank, an emoji
// beyond the Basic Multilingual Plane, "ö", Chinese with Hangul) through
// every way into the desktop program, and its Chinese texts read back as
// UTF-16. ctest runs these under the Chinese and the English locale (code
// pages 936 and 1252); the names are the same in both.
#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "desktop/desktop_program.h"
#include "support/temp_folder.h"
#include "ui/main_dialog.h"

namespace {

using namespace desktop;

const std::vector<std::wstring> kNames = {L"사진 모음.gif", L"😀 smile.gif", L"schön.gif", L"猫와 고양이.gif"};

std::wstring Widen(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

std::wstring Swap(const std::wstring& path, const wchar_t* extension) {
  return path.substr(0, path.size() - 3) + extension;  // every name ends in ".gif"
}

// A fresh folder holding a copy of a real GIF under each name.
std::vector<std::wstring> NamedGifs(const std::string& folderName) {
  const std::wstring folder = Widen(FreshFolder(folderName));
  char root[1024] = "";
  GetEnvironmentVariableA("TERVANO_SOURCE_DIR", root, sizeof root);
  const std::wstring gif = Widen(std::string(root) + "/tests/fixtures/gifs/luma_clock.gif");
  std::vector<std::wstring> paths;
  for (const std::wstring& name : kNames) {
    paths.push_back(folder + L"\\" + name);
    EXPECT_TRUE(CopyFileW(gif.c_str(), paths.back().c_str(), FALSE));
  }
  return paths;
}

std::string FileBytes(const std::wstring& path) {
  std::string bytes;
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return bytes;
  char chunk[65536];
  DWORD got = 0;
  while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0) bytes.append(chunk, got);
  CloseHandle(file);
  return bytes;
}

// A whole movie beside the GIF and its page naming it so that a browser
// finds it: the address as UTF-8 percent-escapes wherever the name has a
// character that code page 936 lacks.
void ExpectMovieAndPage(const std::wstring& gif, const char* address) {
  const std::string movie = FileBytes(Swap(gif, L"swf"));
  EXPECT_TRUE(movie.size() > 8 && movie.compare(0, 3, "FWS") == 0 &&
              ((movie[4] & 0xFF) | (movie[5] & 0xFF) << 8 | (movie[6] & 0xFF) << 16) == static_cast<int>(movie.size()))
      << "no whole movie for " << address;
  EXPECT_NE(FileBytes(Swap(gif, L"htm")).find(std::string("src=\"") + address + "\""), std::string::npos)
      << "page for " << address;
}

const char* const kAddresses[] = {"%EC%82%AC%EC%A7%84%20%EB%AA%A8%EC%9D%8C.swf", "%F0%9F%98%80%20smile.swf",
                                  "sch%C3%B6n.swf", "%E7%8C%AB%EC%99%80%20%EA%B3%A0%EC%96%91%EC%9D%B4.swf"};

std::wstring WideText(HWND window) {
  std::vector<wchar_t> text(70000);
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), SMTO_ABORTIFHUNG,
                           5000, &length))
    return std::wstring();
  return std::wstring(text.data(), length < text.size() ? length : 0);
}

std::wstring WideList(HWND window) { return WideText(GetDlgItem(window, 1001)); }

std::wstring Lines(const std::vector<std::wstring>& paths) {
  std::wstring text;
  for (const std::wstring& path : paths) text += (text.empty() ? L"" : L"\r\n") + path;
  return text;
}

bool ListBecomes(HWND window, const std::wstring& expected) {
  return WaitFor([&] { return WideList(window) == expected; }, 15000);
}

// A top-level window of process pid with exactly this title.
HWND WaitForWideWindow(const wchar_t* title, DWORD pid) {
  HWND found = nullptr;
  WaitFor(
      [&] {
        for (HWND w = nullptr; (w = FindWindowExW(nullptr, w, nullptr, title)) != nullptr;) {
          DWORD owner = 0;
          GetWindowThreadProcessId(w, &owner);
          if (owner == pid && IsWindowVisible(w)) return (found = w) != nullptr;
        }
        return false;
      },
      15000);
  return found;
}

BOOL CALLBACK MatchId(HWND child, LPARAM data) {
  auto* find = reinterpret_cast<std::pair<int, HWND>*>(data);
  if (GetDlgCtrlID(child) != find->first) return TRUE;
  find->second = child;
  return FALSE;
}

HWND Descendant(HWND window, int id) {
  std::pair<int, HWND> find(id, nullptr);
  EnumChildWindows(window, &MatchId, reinterpret_cast<LPARAM>(&find));
  return find.second;
}

// Started as Explorer and Send To do: the wide command line.
struct WideStart {
  explicit WideStart(const std::wstring& args, const std::wstring& folder = std::wstring()) {
    std::wstring line = L"\"" + Widen(ProgramPath()) + L"\" " + args;
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, folder.empty() ? nullptr : folder.c_str(),
                   &startup, &process);
  }
  ~WideStart() {
    if (!process.hProcess) return;
    if (WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(process.hProcess, 99);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
  bool Ends() const { return process.hProcess && WaitForSingleObject(process.hProcess, 30000) == WAIT_OBJECT_0; }
  PROCESS_INFORMATION process = {};
};

std::wstring Quoted(const std::vector<std::wstring>& paths) {
  std::wstring text;
  for (const std::wstring& path : paths) text += L"\"" + path + L"\" ";
  return text;
}

void StoreNumber(const char* name, DWORD value) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\Tervano", 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                            nullptr),
            ERROR_SUCCESS);
  RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
  RegCloseKey(key);
}

TEST_F(DesktopProgram, UnicodeNamesFromCommandLineHandOffPickerAndQuiet) {
  StoreNumber("OptionHTML", 1);
  const std::vector<std::wstring> first = NamedGifs("unicode-args"), picked = NamedGifs("unicode-picked");
  WideStart quiet(L"-quite " + Quoted(first));
  ASSERT_TRUE(quiet.Ends());
  for (size_t i = 0; i < first.size(); ++i) ExpectMovieAndPage(first[i], kAddresses[i]);
  for (const std::wstring& gif : first) DeleteFileW(Swap(gif, L"swf").c_str());

  // Two names open the window, two more are handed to it; the open-file
  // dialog starts in the program's current folder.
  WideStart program(Quoted({first[0], first[1]}), picked[0].substr(0, picked[0].rfind(L'\\')));
  HWND window = WaitForWideWindow(L"Tervano v2.5", program.process.dwProcessId);
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(ListBecomes(window, Lines({first[0], first[1]}))) << WideList(window).size();
  EXPECT_TRUE(WideStart(Quoted({first[2], first[3]})).Ends());
  EXPECT_TRUE(ListBecomes(window, Lines(first)));
  EXPECT_EQ(WideText(GetDlgItem(window, 1003)), L"4 个文件准备转换");

  Command(window, 1000);
  HWND open = WaitForWideWindow(L"请选择要转换的 GIF 文件", program.process.dwProcessId);
  ASSERT_NE(open, nullptr);
  HWND name = Descendant(open, 1148) ? Descendant(open, 1148) : Descendant(open, 1152);
  ASSERT_NE(name, nullptr);
  std::wstring names;
  for (const std::wstring& path : picked) names += L"\"" + path.substr(path.rfind(L'\\') + 1) + L"\" ";
  SendMessageW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(names.c_str()));
  Click(open, IDOK);
  std::vector<std::wstring> all = first;
  all.insert(all.end(), picked.begin(), picked.end());
  EXPECT_TRUE(ListBecomes(window, Lines(all))) << WideList(window).size();

  ASSERT_TRUE(Send(window, 1016));
  for (size_t i = 0; i < all.size(); ++i) ExpectMovieAndPage(all[i], kAddresses[i % 4]);
  Command(window, 32775);
  EXPECT_TRUE(program.Ends());
}

// A drop cannot come from another process (its block belongs to the
// sender), so the window is made here and its handler given a wide drop
// block, as the system delivers one.
TEST_F(DesktopProgram, UnicodeNamesDropped) {
  const std::vector<std::wstring> paths = NamedGifs("unicode-drop");
  ASSERT_TRUE(RegisterMainWindowClass());
  // The class goes with the window: other tests register one of that name.
  struct Unregister {
    ~Unregister() { UnregisterClassW(kMainWindowClassW, GetModuleHandleW(nullptr)); }
  } unregister;
  MainDialog dialog({});
  ASSERT_TRUE(dialog.Create());
  std::wstring list;
  for (const std::wstring& path : paths) list += path + L'\0';
  list += L'\0';
  HGLOBAL drop = GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, sizeof(DROPFILES) + list.size() * sizeof(wchar_t));
  ASSERT_NE(drop, nullptr);
  auto* header = static_cast<DROPFILES*>(drop);
  header->pFiles = sizeof(DROPFILES);
  header->fWide = TRUE;
  memcpy(header + 1, list.data(), list.size() * sizeof(wchar_t));
  SendMessageW(dialog.hwnd(), WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0);
  // The handler takes the names from the last one up.
  EXPECT_EQ(WideList(dialog.hwnd()), Lines({paths[3], paths[2], paths[1], paths[0]}));
  EXPECT_EQ(WideText(GetDlgItem(dialog.hwnd(), 1003)), L"4 个文件准备转换");
}

// The context menu's items on these names, with the real program behind
// them: convert runs the quiet conversion, add hands them to the window.
TEST_F(DesktopProgram, UnicodeNamesFromTheContextMenu) {
  const std::vector<std::wstring> paths = NamedGifs("unicode-menu");
  const std::wstring exec = L"\"" + Widen(ProgramPath()) + L"\"";
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Tervano", 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                            nullptr),
            ERROR_SUCCESS);
  RegSetValueExW(key, L"ExecString", 0, REG_SZ, reinterpret_cast<const BYTE*>(exec.c_str()),
                 static_cast<DWORD>((exec.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(key);
  StoreNumber("OptionHTML", 1);
  HMODULE library = LoadLibraryA(TERVANO_CTX_DLL);
  ASSERT_NE(library, nullptr);
  auto getClass = reinterpret_cast<HRESULT(WINAPI*)(REFCLSID, REFIID, void**)>(
      reinterpret_cast<void*>(GetProcAddress(library, "DllGetClassObject")));
  const CLSID handler = {0x3EEBE959, 0x786D, 0x4C99, {0xA4, 0x3D, 0xE5, 0xFA, 0xF0, 0x59, 0x1B, 0xA8}};
  ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
  IShellFolder* desktop = nullptr;
  ASSERT_TRUE(SUCCEEDED(SHGetDesktopFolder(&desktop)));
  // Chooses item of the menu for the files, as Explorer does with its own
  // data object; the text of the first item.
  auto choose = [&](const std::vector<std::wstring>& files, UINT item) {
    std::wstring folderPath = files[0].substr(0, files[0].rfind(L'\\'));
    LPITEMIDLIST folderId = nullptr;
    IShellFolder* folder = nullptr;
    EXPECT_TRUE(SUCCEEDED(desktop->ParseDisplayName(nullptr, nullptr, &folderPath[0], nullptr, &folderId, nullptr)) &&
                SUCCEEDED(desktop->BindToObject(folderId, nullptr, IID_IShellFolder, reinterpret_cast<void**>(&folder))));
    std::vector<LPITEMIDLIST> ids;
    for (const std::wstring& file : files) {
      LPITEMIDLIST id = nullptr;
      std::wstring name = file.substr(file.rfind(L'\\') + 1);
      if (folder && SUCCEEDED(folder->ParseDisplayName(nullptr, nullptr, &name[0], nullptr, &id, nullptr)))
        ids.push_back(id);
    }
    IDataObject* data = nullptr;
    EXPECT_TRUE(ids.size() == files.size() &&
                SUCCEEDED(folder->GetUIObjectOf(nullptr, static_cast<UINT>(ids.size()),
                                                const_cast<LPCITEMIDLIST*>(ids.data()), IID_IDataObject, nullptr,
                                                reinterpret_cast<void**>(&data))));
    IClassFactory* factory = nullptr;
    IContextMenu* menu = nullptr;
    IShellExtInit* init = nullptr;
    wchar_t text[600] = L"";
    if (data && SUCCEEDED(getClass(handler, IID_IClassFactory, reinterpret_cast<void**>(&factory))) &&
        SUCCEEDED(factory->CreateInstance(nullptr, IID_IContextMenu, reinterpret_cast<void**>(&menu))) &&
        SUCCEEDED(menu->QueryInterface(IID_IShellExtInit, reinterpret_cast<void**>(&init))) &&
        SUCCEEDED(init->Initialize(nullptr, data, nullptr))) {
      HMENU popup = CreatePopupMenu();
      menu->QueryContextMenu(popup, 0, 1, 0x7fff, CMF_NORMAL);
      GetMenuStringW(popup, 0, text, 600, MF_BYPOSITION);
      CMINVOKECOMMANDINFO info = {};
      info.cbSize = sizeof info;
      info.lpVerb = MAKEINTRESOURCEA(item);
      info.fMask = CMIC_MASK_FLAG_NO_UI;
      EXPECT_EQ(menu->InvokeCommand(&info), S_OK);
      DestroyMenu(popup);
    }
    for (IUnknown* p : {static_cast<IUnknown*>(init), static_cast<IUnknown*>(menu),
                        static_cast<IUnknown*>(factory), static_cast<IUnknown*>(data)})
      if (p) p->Release();
    for (LPITEMIDLIST id : ids) CoTaskMemFree(id);
    if (folder) folder->Release();
    CoTaskMemFree(folderId);
    return std::wstring(text);
  };
  for (size_t i = 0; i < paths.size(); ++i) {
    const std::wstring name = paths[i].substr(paths[i].rfind(L'\\') + 1);
    EXPECT_EQ(choose({paths[i]}, 0), L"转换至 " + Swap(name, L"swf") + L"(&C)");
    EXPECT_TRUE(WaitFor([&] { return FileBytes(Swap(paths[i], L"htm")).size() > 0; }, 30000));
    ExpectMovieAndPage(paths[i], kAddresses[i]);
  }
  WideStart program(L"");
  HWND window = WaitForWideWindow(L"Tervano v2.5", program.process.dwProcessId);
  ASSERT_NE(window, nullptr);
  // Texts set at run time and from the template read the same in any locale.
  const std::pair<int, const wchar_t*> texts[] = {
      {1001, L"(尚未添加源文件)"}, {1000, L"添加文件(&A)..."}, {1014, L"更改循环时长"}, {1016, L"转换"}};
  for (const auto& text : texts) EXPECT_EQ(WideText(GetDlgItem(window, text.first)), text.second) << text.first;
  choose(paths, 1);
  // One copy per file, each handing its name over: any order.
  EXPECT_TRUE(WaitFor([&] { return WideList(window).size() == Lines(paths).size(); }, 30000));
  for (const std::wstring& path : paths) EXPECT_NE(WideList(window).find(path), std::wstring::npos);
  Command(window, 32775);
  EXPECT_TRUE(program.Ends());
  desktop->Release();
  CoUninitialize();
  FreeLibrary(library);
}

}  // namespace
