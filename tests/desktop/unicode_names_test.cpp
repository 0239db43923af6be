// File names that no single code page holds (Hangul with a blank, an emoji
// beyond the Basic Multilingual Plane, "ö", Chinese with Hangul) through
// every way into the desktop program, and its Chinese texts read back as
// UTF-16. ctest runs these under the Chinese and the English locale (code
// pages 936 and 1252).
#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <string>
#include <vector>

#include "desktop/desktop_program.h"
#include "support/temp_folder.h"
#include "ui/main_dialog.h"

namespace {

using namespace desktop;

const wchar_t* const kNames[] = {L"사진 모음.gif", L"😀 smile.gif", L"schön.gif", L"猫와 고양이.gif"};
// How each movie's page names it: UTF-8 percent-escapes.
const char* const kAddresses[] = {"%EC%82%AC%EC%A7%84%20%EB%AA%A8%EC%9D%8C.swf", "%F0%9F%98%80%20smile.swf",
                                  "sch%C3%B6n.swf", "%E7%8C%AB%EC%99%80%20%EA%B3%A0%EC%96%91%EC%9D%B4.swf"};

std::wstring Swap(const std::wstring& gif, const wchar_t* extension) { return gif.substr(0, gif.size() - 3) + extension; }
std::wstring FolderOf(const std::wstring& path) { return path.substr(0, path.rfind(L'\\')); }
std::wstring NameOf(const std::wstring& path) { return path.substr(path.rfind(L'\\') + 1); }

// A fresh folder holding a real GIF under each name.
std::vector<std::wstring> NamedGifs(const std::string& folderName) {
  const std::wstring folder = Wide(FreshFolder(folderName));
  char root[1024] = "";
  GetEnvironmentVariableA("TERVANO_SOURCE_DIR", root, sizeof root);
  const std::wstring gif = Wide(std::string(root) + "/tests/fixtures/gifs/luma_clock.gif");
  std::vector<std::wstring> paths;
  for (const wchar_t* name : kNames) {
    paths.push_back(folder + L"\\" + name);
    EXPECT_TRUE(CopyFileW(gif.c_str(), paths.back().c_str(), FALSE));
  }
  return paths;
}

std::string FileBytes(const std::wstring& path) {
  std::string bytes;
  if (FILE* file = _wfopen(path.c_str(), L"rb")) {
    for (int c; (c = std::fgetc(file)) != EOF;) bytes += static_cast<char>(c);
    std::fclose(file);
  }
  return bytes;
}

// A whole movie under the GIF's own name, and a page that names it so a
// browser finds it.
void ExpectMovieAndPage(const std::wstring& gif, const char* address) {
  const std::string movie = FileBytes(Swap(gif, L"swf"));
  EXPECT_TRUE(movie.size() > 8 && movie.compare(0, 3, "FWS") == 0 &&
              ((movie[4] & 0xFF) | (movie[5] & 0xFF) << 8 | (movie[6] & 0xFF) << 16) == static_cast<int>(movie.size()))
      << address;
  EXPECT_NE(FileBytes(Swap(gif, L"htm")).find(std::string("src=\"") + address + "\""), std::string::npos) << address;
}

std::wstring Lines(const std::vector<std::wstring>& paths, const wchar_t* quote = L"", const wchar_t* between = L"\r\n") {
  std::wstring text;
  for (const std::wstring& path : paths) text += (text.empty() ? L"" : between) + (quote + path + quote);
  return text;
}

bool ListBecomes(HWND window, const std::wstring& expected) {
  return WaitFor([&] { return WideText(GetDlgItem(window, 1001)) == expected; }, 15000);
}

TEST_F(DesktopProgram, UnicodeNamesFromCommandLineHandOffPickerAndQuiet) {
  DWORD on = 1;
  SHSetValueA(HKEY_LOCAL_MACHINE, "Software\\Tervano", "OptionHTML", REG_DWORD, &on, sizeof on);
  const std::vector<std::wstring> first = NamedGifs("unicode-args"), picked = NamedGifs("unicode-picked");
  ASSERT_TRUE(RunningProgram(L"-quite " + Lines(first, L"\"", L" "), L"").WaitExit(30000));
  for (size_t i = 0; i < first.size(); ++i) ExpectMovieAndPage(first[i], kAddresses[i]);
  for (const std::wstring& gif : first) DeleteFileW(Swap(gif, L"swf").c_str());

  // Two names open the window, two more are handed to it; the open-file
  // dialog starts in the program's current folder.
  RunningProgram program(Lines({first[0], first[1]}, L"\"", L" "), FolderOf(picked[0]));
  HWND window = WaitForWindow(L"Tervano v2.5", program.id());
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(ListBecomes(window, Lines({first[0], first[1]})));
  EXPECT_TRUE(RunningProgram(Lines({first[2], first[3]}, L"\"", L" "), L"").WaitExit(30000));
  EXPECT_TRUE(ListBecomes(window, Lines(first)));
  EXPECT_EQ(WideText(GetDlgItem(window, 1003)), L"4 个文件准备转换");

  Command(window, 1000);
  HWND open = WaitForWindow(L"请选择要转换的 GIF 文件", program.id());
  ASSERT_NE(open, nullptr);
  HWND name = FindDescendant(open, 1148) ? FindDescendant(open, 1148) : FindDescendant(open, 1152);
  std::vector<std::wstring> names;
  for (const std::wstring& path : picked) names.push_back(NameOf(path));
  SendMessageW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(Lines(names, L"\"", L" ").c_str()));
  Click(open, IDOK);
  std::vector<std::wstring> all = first;
  all.insert(all.end(), picked.begin(), picked.end());
  EXPECT_TRUE(ListBecomes(window, Lines(all)));

  ASSERT_TRUE(Send(window, 1016));
  for (size_t i = 0; i < all.size(); ++i) ExpectMovieAndPage(all[i], kAddresses[i % 4]);
  Exit(program, window);
}

// A drop cannot come from another process (its block belongs to the
// sender): the window is made here, and its handler given a wide drop block
// as the system delivers one.
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
  auto* header = static_cast<DROPFILES*>(drop);
  header->pFiles = sizeof(DROPFILES);
  header->fWide = TRUE;
  memcpy(header + 1, list.data(), list.size() * sizeof(wchar_t));
  SendMessageW(dialog.hwnd(), WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0);
  // The handler takes the names from the last one up.
  EXPECT_EQ(WideText(GetDlgItem(dialog.hwnd(), 1001)), Lines({paths[3], paths[2], paths[1], paths[0]}));
  EXPECT_EQ(WideText(GetDlgItem(dialog.hwnd(), 1003)), L"4 个文件准备转换");
}

// The context menu starts the program with these lines (the extension's
// tests check that it does, with such names): "-quite" and the path for
// its convert item, the path alone for its add item, without quotes.
TEST_F(DesktopProgram, UnicodeNamesAsTheContextMenuStartsThem) {
  const std::vector<std::wstring> paths = NamedGifs("unicode-menu");
  DWORD on = 1;
  SHSetValueA(HKEY_LOCAL_MACHINE, "Software\\Tervano", "OptionHTML", REG_DWORD, &on, sizeof on);
  for (size_t i = 0; i < paths.size(); ++i) {
    EXPECT_TRUE(RunningProgram(L"-quite " + paths[i], L"").WaitExit(30000));
    ExpectMovieAndPage(paths[i], kAddresses[i]);
  }
  RunningProgram program(L"", L"");
  HWND window = WaitForWindow(L"Tervano v2.5", program.id());
  ASSERT_NE(window, nullptr);
  // Texts set at run time and from the template read the same in any locale.
  const std::pair<int, const wchar_t*> texts[] = {
      {1001, L"(尚未添加源文件)"}, {1000, L"添加文件(&A)..."}, {1014, L"更改循环时长"}, {1016, L"转换"}};
  for (const auto& text : texts) EXPECT_EQ(WideText(GetDlgItem(window, text.first)), text.second) << text.first;
  for (const std::wstring& path : paths) EXPECT_TRUE(RunningProgram(path, L"").WaitExit(30000));
  EXPECT_TRUE(ListBecomes(window, Lines(paths)));
  Exit(program, window);
}

}  // namespace
