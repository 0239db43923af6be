// The desktop program driven from another process under Wine: starts and
// second starts, the list and its commands, the pickers, publish settings
// reaching the next conversion and the registry, the about box's link.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <sddl.h>
#include <shlobj.h>

#include <cstdint>
#include <string>
#include <vector>

#include "app/settings_store.h"
#include "desktop/desktop_program.h"
#include "support/temp_folder.h"

namespace {

using namespace desktop;

const char kPlaceholder[] = "(尚未添加源文件)";
const char kOneReady[] = "1 个文件准备转换";

int32_t Stored(const char* name) {
  int32_t value = -1;
  return ReadSettingNumber(name, value) ? value : -1;
}

void CopySample(const std::string& name, const std::string& to) { CopySource("samples/" + name, to); }

// The colours (0xRRGGBB) of a width by height area of a device context.
std::vector<uint32_t> Pixels(HDC from, int x, int y, int width, int height) {
  std::vector<uint32_t> pixels;
  BITMAPINFO info = {};
  info.bmiHeader = {sizeof info.bmiHeader, width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HBITMAP copy = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, copy);
  if (copy && BitBlt(dc, 0, 0, width, height, from, x, y, SRCCOPY)) {
    for (int i = 0; i < width * height; ++i) pixels.push_back(static_cast<const uint32_t*>(bits)[i] & 0xFFFFFF);
  }
  SelectObject(dc, old);
  DeleteDC(dc);
  if (copy) DeleteObject(copy);
  return pixels;
}

struct FindId {
  int id;
  HWND found;
};
BOOL CALLBACK MatchId(HWND child, LPARAM data) {
  auto* find = reinterpret_cast<FindId*>(data);
  if (GetDlgCtrlID(child) != find->id) return TRUE;
  find->found = child;
  return FALSE;
}
// A descendant of window with this control id (pickers nest their parts).
HWND FindDescendant(HWND window, int id) {
  FindId find = {id, nullptr};
  EnumChildWindows(window, &MatchId, reinterpret_cast<LPARAM>(&find));
  return find.found;
}

TEST_F(DesktopProgram, FirstWindowAndSecondStarts) {
  RunningProgram first("");
  HWND window = WaitForWindow(kTitle, first.id());
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(ItemText(window, 1001), kPlaceholder);
  EXPECT_EQ(ItemText(window, 1003), "");
  EXPECT_FALSE(IsWindowEnabled(GetDlgItem(window, 1016)));
  PickMenuItem(window, 'f', 's');  // save as is grey: no picker opens
  EXPECT_EQ(WaitForWindow("另存为", first.id(), 1500), nullptr);
  // first run: nothing stored, play count 0, the GIF's own loop
  EXPECT_EQ(ItemText(window, 1027), "0");
  EXPECT_EQ(SendDlgItemMessageA(window, 1015, BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_FALSE(IsWindowEnabled(GetDlgItem(window, 1009)));
  EXPECT_FALSE(IsWindowEnabled(GetDlgItem(window, 1026)));

  // a second start without arguments ends at once and changes nothing
  RunningProgram second("");
  DWORD code = 1;
  EXPECT_TRUE(second.WaitExit(15000, &code));
  EXPECT_EQ(code, 0u);
  // a start with a file opens no second window
  RunningProgram third("C:\\pics\\x.gif");
  EXPECT_TRUE(third.WaitExit(15000));
  EXPECT_EQ(CountWindows(kTitle), 1);
  EXPECT_EQ(ItemText(window, 1001), kPlaceholder);

  // the loop controls and the play-count rules in the real fields
  HWND count = GetDlgItem(window, 1027);
  Click(window, 1014);
  EXPECT_TRUE(IsWindowEnabled(GetDlgItem(window, 1009)));
  EXPECT_TRUE(IsWindowEnabled(count));
  Click(window, 1009);
  EXPECT_FALSE(IsWindowEnabled(count));
  Click(window, 1009);
  EXPECT_TRUE(IsWindowEnabled(count));
  SendMessageA(count, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("70000"));
  EXPECT_EQ(Text(count), "0");  // out of range: the last value stays
  SendMessageA(count, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("250"));
  EXPECT_EQ(Text(count), "250");
  SendMessageA(window, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(count), TRUE);
  SendMessageA(count, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(""));
  SendMessageA(window, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(window, 1000)), TRUE);
  EXPECT_EQ(IsDlgButtonChecked(window, 1009), BST_CHECKED);  // empty count: loop forever
  EXPECT_FALSE(IsWindowEnabled(count));
  Exit(first, window);

  EXPECT_EQ(Stored("OptionTransparent"), 1);
  EXPECT_EQ(Stored("OptionHTML"), 1);
  EXPECT_EQ(Stored("OptionHideMenu"), 1);
  EXPECT_EQ(Stored("OptionBackGround"), 0);
  EXPECT_EQ(Stored("OptionChangeLoop"), 1);
  EXPECT_EQ(Stored("OptionLoopForever"), 1);
  EXPECT_EQ(Stored("OptionLoopValue"), 250);
  EXPECT_EQ(Stored("OptionURL"), 0);
  std::string url = "unset";
  EXPECT_EQ(ReadSettingText("OptionURLName", url), 1);
  EXPECT_EQ(url, "");
}

TEST_F(DesktopProgram, BadStartsAndCommandsEndCleanly) {
  std::string folder = FreshFolder("desktop-bad-starts");
  // a marker left behind: a start without a file opens the window all the same
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kMarker, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                            nullptr),
            ERROR_SUCCESS);
  RegCloseKey(key);
  {
    RunningProgram plain("");
    HWND window = WaitForWindow(kTitle, plain.id());
    ASSERT_NE(window, nullptr);
    EXPECT_FALSE(MarkerExists());  // the next window removes it
    Exit(plain, window);
  }

  const std::string texts[] = {"C:\\" + std::string(292, 'n') + ".gif",  // 300 bytes
                               "not a path <>|*? at all"};
  for (const std::string& text : texts) {
    RunningProgram program(text, folder);
    HWND window = WaitForWindow(kTitle, program.id());
    ASSERT_NE(window, nullptr) << text;
    EXPECT_EQ(ItemText(window, 1001), text);
    EXPECT_EQ(ItemText(window, 1003), kOneReady);
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(window, 1016)));
    // convert: the line is skipped, nothing written, no message
    ASSERT_TRUE(Send(window, 1016));
    EXPECT_EQ(CountWindows("tervano"), 0);
    // save as proposes the name when it fits a path, else leaves it out
    Command(window, 32778);
    HWND save = WaitForWindow("另存为", program.id());
    ASSERT_NE(save, nullptr);
    std::string proposed = Text(FindDescendant(save, 1148)) + Text(FindDescendant(save, 1152));
    EXPECT_EQ(proposed, text.size() < 260 ? text : "");
    Click(save, IDCANCEL);
    EXPECT_TRUE(WindowGoes("另存为", program.id()));
    EXPECT_EQ(ItemText(window, 1001), text);
    // help topics without a help file: nothing happens
    ASSERT_TRUE(Send(window, 32780));
    EXPECT_EQ(CountWindows(kTitle), 1);
    Exit(program, window);
  }
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((folder + "\\*.swf").c_str(), &found);
  EXPECT_EQ(search, INVALID_HANDLE_VALUE);
  if (search != INVALID_HANDLE_VALUE) FindClose(search);
}

TEST_F(DesktopProgram, DestinationFilesConvertAndPublishSettings) {
  std::string folder = PickerFolder("convert-in");
  std::string out = PickerFolder("convert-out");
  CopySample("bouncing_ball.gif", folder + "\\a.gif");
  CopySample("spinner.gif", folder + "\\b.gif");
  RunningProgram program("", folder);
  HWND window = WaitForWindow(kTitle, program.id());
  ASSERT_NE(window, nullptr);

  // destination first, so that it applies to the files added after it
  ASSERT_TRUE(ChooseDestination(window, program.id(), out));
  EXPECT_TRUE(ItemTextBecomes(window, 1001, "Dest--目标文件夹为: " + out)) << ItemText(window, 1001);
  EXPECT_EQ(ItemText(window, 1003), "");

  Command(window, 1000);
  HWND open = WaitForWindow("请选择要转换的 GIF 文件", program.id());
  ASSERT_NE(open, nullptr);
  HWND hint = FindDescendant(open, 2001);
  ASSERT_NE(hint, nullptr);
  EXPECT_EQ(Text(hint), "使用 [Ctrl+A] 可选择所有文件");
  HWND name = FindDescendant(open, 1148);
  if (!name) name = FindDescendant(open, 1152);
  ASSERT_NE(name, nullptr);
  SendMessageA(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("\"a.gif\" \"b.gif\""));
  Click(open, IDOK);
  EXPECT_TRUE(ItemTextBecomes(window, 1001, "Dest--目标文件夹为: " + out + "\r\n" + folder +
                                                "\\a.gif\r\n" + folder + "\\b.gif"));
  EXPECT_EQ(ItemText(window, 1003), "2 个文件准备转换");
  PickMenuItem(window, 'f', 's');  // save as is on now: the folder browser opens
  HWND saveFolder = WaitForWindow("另存为", program.id());
  ASSERT_NE(saveFolder, nullptr);
  Click(saveFolder, IDCANCEL);
  EXPECT_TRUE(WindowGoes("另存为", program.id()));

  ASSERT_TRUE(Send(window, 1016));
  for (const char* movie : {"\\a.swf", "\\b.swf"}) EXPECT_TRUE(FileStartsWith(out + movie, "FWS")) << movie;
  EXPECT_TRUE(Exists(out + "\\a.htm"));  // first run: pages on

  // publish settings: cancel keeps the options, OK changes them at once
  Command(window, 32779);
  HWND publish = WaitForWindow("发布设置", program.id());
  ASSERT_NE(publish, nullptr);
  const int checkedFirst[] = {1006, 1007, 1008};
  for (int id : {1005, 1006, 1007, 1008, 1009, 1010}) {
    bool expected = id == checkedFirst[0] || id == checkedFirst[1] || id == checkedFirst[2];
    EXPECT_EQ(IsDlgButtonChecked(publish, id) == BST_CHECKED, expected) << id;
  }
  Click(publish, 1007);
  EXPECT_FALSE(IsWindowEnabled(GetDlgItem(publish, 1008)));
  EXPECT_EQ(IsDlgButtonChecked(publish, 1008), BST_CHECKED);
  Click(publish, IDCANCEL);
  EXPECT_TRUE(WindowGoes("发布设置", program.id()));
  Command(window, 32779);
  publish = WaitForWindow("发布设置", program.id());
  ASSERT_NE(publish, nullptr);
  EXPECT_EQ(IsDlgButtonChecked(publish, 1007), BST_CHECKED);
  Click(publish, 1007);
  Click(publish, 1005);
  Click(publish, IDOK);
  EXPECT_TRUE(WindowGoes("发布设置", program.id()));

  DeleteFileA((out + "\\a.swf").c_str());
  DeleteFileA((out + "\\a.htm").c_str());
  ASSERT_TRUE(Send(window, 1016));
  EXPECT_TRUE(FileStartsWith(out + "\\a.swf", "FWS"));
  EXPECT_FALSE(Exists(out + "\\a.htm"));
  EXPECT_EQ(Stored("OptionHTML"), -1);  // saved only at exit
  Exit(program, window);
  EXPECT_EQ(Stored("OptionHTML"), 0);
  EXPECT_EQ(Stored("OptionHideMenu"), 1);
  EXPECT_EQ(Stored("OptionBackGround"), 1);
}

TEST_F(DesktopProgram, AboutTooltipAndCancelledPicker) {
  RunningProgram program("");
  HWND window = WaitForWindow(kTitle, program.id());
  ASSERT_NE(window, nullptr);

  Command(window, 32774);
  HWND about = WaitForWindow("关于 Tervano v2.5", program.id());
  ASSERT_NE(about, nullptr);
  HWND logo = GetDlgItem(about, 1030);
  ASSERT_NE(logo, nullptr);
  HWND tooltip = nullptr;
  while ((tooltip = FindWindowExA(nullptr, tooltip, TOOLTIPS_CLASSA, nullptr)) != nullptr) {
    if (GetWindow(tooltip, GW_OWNER) == about) break;
  }
  ASSERT_NE(tooltip, nullptr);
  EXPECT_EQ(SendMessageA(tooltip, TTM_GETTOOLCOUNT, 0, 0), 1);
  // The tool and its text, read through memory of the program's own.
  const size_t textAt = 256, textSize = 512;
  RemoteMemory remote(tooltip, textAt + textSize);
  TOOLINFOA tool = {};
  tool.cbSize = TTTOOLINFOA_V2_SIZE;
  tool.hwnd = about;
  tool.uId = reinterpret_cast<UINT_PTR>(logo);
  tool.lpszText = static_cast<char*>(remote.address()) + textAt;
  ASSERT_TRUE(remote.Write(0, &tool, sizeof tool));
  SendMessageA(tooltip, TTM_GETTEXTA, textSize, reinterpret_cast<LPARAM>(remote.address()));
  char text[textSize] = "";
  ASSERT_TRUE(remote.Read(textAt, text, sizeof text - 1));
  EXPECT_STREQ(text, "访问 HALDRUN 主页 - http://www.tervano.example/");
  Click(about, IDOK);
  EXPECT_TRUE(WindowGoes("关于 Tervano v2.5", program.id()));

  Command(window, 1000);
  HWND open = WaitForWindow("请选择要转换的 GIF 文件", program.id());
  ASSERT_NE(open, nullptr);
  Click(open, IDCANCEL);
  EXPECT_TRUE(WindowGoes("请选择要转换的 GIF 文件", program.id()));
  EXPECT_EQ(ItemText(window, 1001), kPlaceholder);
  EXPECT_FALSE(IsWindowEnabled(GetDlgItem(window, 1016)));
  Exit(program, window);
}

// The about box's logo at 100 % and at 200 %, read from the screen: pixel
// for pixel the picture drawn for that scale, neither stretched nor left
// small.
TEST_F(DesktopProgram, AboutLogoIsDrawnForTheScale) {
  struct Restore {
    HKEY key = nullptr;
    ~Restore() {  // the test prefix's default, 96 DPI
      RegDeleteValueA(key, "LogPixels");
      RegCloseKey(key);
    }
  } desktop;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Control Panel\\Desktop", 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                            &desktop.key, nullptr),
            ERROR_SUCCESS);
  char root[1024] = "";
  GetEnvironmentVariableA("TERVANO_SOURCE_DIR", root, sizeof root);
  for (DWORD dpi : {96, 192}) {
    SCOPED_TRACE(dpi);
    const std::string picture = std::string(root) + "/converter/ui/art/" + (dpi == 96 ? "logo.bmp" : "logo-2x.bmp");
    auto bitmap = static_cast<HBITMAP>(
        LoadImageA(nullptr, picture.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION));
    BITMAP size = {};
    ASSERT_TRUE(bitmap && GetObjectA(bitmap, sizeof size, &size));
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, bitmap);
    const std::vector<uint32_t> expected = Pixels(dc, 0, 0, size.bmWidth, size.bmHeight);
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(bitmap);

    // Wine reads LogPixels when a program starts.
    ASSERT_EQ(RegSetValueExA(desktop.key, "LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dpi), sizeof dpi),
              ERROR_SUCCESS);
    RunningProgram program("");
    HWND window = WaitForWindow(kTitle, program.id());
    ASSERT_NE(window, nullptr);
    Command(window, 32774);
    HWND about = WaitForWindow("关于 Tervano v2.5", program.id());
    ASSERT_NE(about, nullptr);
    HWND logo = GetDlgItem(about, 1030);
    RECT shown = {};
    GetClientRect(logo, &shown);
    EXPECT_EQ(shown.right, size.bmWidth);
    EXPECT_EQ(shown.bottom, size.bmHeight);
    POINT origin = {0, 0};
    ClientToScreen(logo, &origin);
    HDC screen = GetDC(nullptr);
    // Painted once the dialog's thread is idle.
    EXPECT_TRUE(WaitFor([&] { return Pixels(screen, origin.x, origin.y, size.bmWidth, size.bmHeight) == expected; },
                        5000));
    ReleaseDC(nullptr, screen);
    Click(about, IDOK);
    EXPECT_TRUE(WindowGoes("关于 Tervano v2.5", program.id()));
    Exit(program, window);
  }
}

// Writes to the settings key denied in both roots, as on a locked-down
// machine, while it lives; the key's old permissions come back after.
class SettingsWritesDenied {
 public:
  SettingsWritesDenied() {
    PSECURITY_DESCRIPTOR readOnly = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA("D:P(A;;KR;;;WD)", SDDL_REVISION_1, &readOnly,
                                                              nullptr))
      return;
    for (int i = 0; i < 2; ++i) {
      HKEY root = i == 0 ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
      DWORD size = sizeof old_[i];
      if (RegCreateKeyExA(root, kSettingsKeyPath, 0, nullptr, 0, READ_CONTROL | WRITE_DAC, nullptr, &keys_[i],
                          nullptr) != ERROR_SUCCESS ||
          RegGetKeySecurity(keys_[i], DACL_SECURITY_INFORMATION, old_[i], &size) != ERROR_SUCCESS ||
          RegSetKeySecurity(keys_[i], DACL_SECURITY_INFORMATION, readOnly) != ERROR_SUCCESS)
        ADD_FAILURE() << "cannot make the settings key read-only";
    }
    LocalFree(readOnly);
  }
  ~SettingsWritesDenied() {
    for (int i = 0; i < 2; ++i) {
      if (!keys_[i]) continue;
      RegSetKeySecurity(keys_[i], DACL_SECURITY_INFORMATION, old_[i]);
      RegCloseKey(keys_[i]);
    }
  }

 private:
  HKEY keys_[2] = {};
  alignas(8) char old_[2][4096] = {};
};

TEST_F(DesktopProgram, OptionsThatCannotBeSavedAreTold) {
  SettingsWritesDenied denied;
  RunningProgram program("");
  HWND window = WaitForWindow(kTitle, program.id());
  ASSERT_NE(window, nullptr);
  Command(window, 32775);  // Exit saves the options
  HWND box = WaitForWindow("Tervano", program.id());
  ASSERT_NE(box, nullptr);
  const std::string told = ItemText(box, 0xFFFF);
  const std::string head = "错误: 无法保存设置 OptionTransparent\r\n";  // the first value written
  EXPECT_EQ(told.substr(0, head.size()), head);
  EXPECT_GT(told.size(), head.size()) << "no reason given";
  Click(box, IDOK);
  DWORD code = 1;
  EXPECT_TRUE(program.WaitExit(15000, &code));
  EXPECT_EQ(code, 0u);
  EXPECT_EQ(Stored("OptionTransparent"), -1);
}

}  // namespace
