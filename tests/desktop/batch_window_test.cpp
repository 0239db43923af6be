// The convert command of the real program, driven from another process:
// Cancel stops the batch, and files gone since they were listed are told. (A batch that runs to its end is in hand_off_test.cpp.)
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "desktop/desktop_program.h"
#include "support/temp_folder.h"

namespace {

using namespace desktop;

// Hands each file to the running window the way a second start does.
void HandOver(const std::vector<std::string>& paths) {
  for (const std::string& path : paths) EXPECT_TRUE(RunningProgram(path).WaitExit(15000)) << path;
}

TEST_F(DesktopProgram, CancelStopsTheBatch) {
  std::string folder = FreshFolder("desktop-batch-cancel");
  std::vector<std::string> slow = {folder + "\\slow1.gif", folder + "\\slow2.gif", folder + "\\slow3.gif"};
  ASSERT_TRUE(MakeSlowGif(slow[0]));
  for (size_t i = 1; i < slow.size(); ++i) ASSERT_TRUE(CopyFileA(slow[0].c_str(), slow[i].c_str(), FALSE));
  RunningProgram program(slow[0]);
  HWND window = WaitForWindow(kTitle, program.id());
  ASSERT_NE(window, nullptr);
  HandOver({slow[1], slow[2]});
  ASSERT_EQ(ListLines(window), slow);

  Command(window, 1016);
  HWND progress = WaitForWindow("正在转换", program.id());
  ASSERT_NE(progress, nullptr);
  EXPECT_FALSE(IsWindowEnabled(window));
  EXPECT_EQ(SendDlgItemMessageA(progress, 1019, PBM_GETRANGE, FALSE, 0), 4);  // three lines + 1
  auto status = [&] { return ItemText(progress, 1025); };
  ASSERT_TRUE(WaitFor([&] { return status().find("slow2.swf") != std::string::npos; }, 30000)) << status();
  EXPECT_EQ(SendDlgItemMessageA(progress, 1020, PBM_GETRANGE, FALSE, 0), 35);  // frames counted
  Click(progress, IDCANCEL);
  EXPECT_TRUE(WaitFor([&] { return !IsWindow(progress); }, 1000));
  // The window keeps painting while the second file ends: it stops at the
  // next frame, or completes when Cancel came in its counting pass.
  EXPECT_TRUE(Settle(window, 1000));
  EXPECT_TRUE(WaitFor([&] { return IsWindowEnabled(window) != 0; }, 30000));
  EXPECT_TRUE(IsWholeMovie(MovieOf(slow[0])));
  EXPECT_TRUE(!Exists(MovieOf(slow[1])) || IsWholeMovie(MovieOf(slow[1])));
  Exit(program, window);
  EXPECT_FALSE(Exists(MovieOf(slow[2])));
}

// A source renamed after it was listed is told by name and the batch goes
// on; a destination folder removed after it was chosen stops the batch with
// one message, for the movie (no page is tried without it).
TEST_F(DesktopProgram, FilesGoneSinceListingAreToldByName) {
  std::string folder = FreshFolder("desktop-batch-gone");
  std::string first = folder + "\\first.gif", second = folder + "\\second.gif";
  std::string renamed = folder + "\\renamed.gif";
  CopySource("tests/fixtures/gifs/luma_clock.gif", first);
  CopySource("tests/fixtures/gifs/gnunet_error.gif", second);
  CopySource("tests/fixtures/gifs/qip_af.gif", renamed);
  std::string gone = PickerFolder("gone");
  RunningProgram program(renamed, PickerFolder("start"));  // where the browser can reach
  HWND window = WaitForWindow(kTitle, program.id());
  ASSERT_NE(window, nullptr);
  HandOver({first});
  ASSERT_TRUE(ChooseDestination(window, program.id(), gone));
  HandOver({second});
  ASSERT_EQ(ListLines(window).size(), 4u);
  ASSERT_TRUE(MoveFileA(renamed.c_str(), (folder + "\\later.gif").c_str()));
  ASSERT_TRUE(RemoveDirectoryA(gone.c_str()));

  Command(window, 1016);
  HWND box = WaitForWindow("tervano", program.id());
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(ItemText(box, 0xFFFF), "错误: 无法读取文件 " + renamed);
  Click(box, IDOK);
  EXPECT_TRUE(WaitFor([&] { return !IsWindow(box); }, 5000));
  box = WaitForWindow("tervano", program.id());
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(ItemText(box, 0xFFFF), "错误: 无法写入文件 " + gone + "\\second.swf");
  EXPECT_EQ(CountWindows("正在写入 HTML"), 0);
  HWND progress = WaitForWindow("正在转换", program.id(), 0);
  ASSERT_NE(progress, nullptr);
  EXPECT_FALSE(IsWindowEnabled(progress));  // Cancel cannot end the batch under its box
  Click(box, IDOK);
  EXPECT_TRUE(WaitFor([&] { return !IsWindow(progress) && IsWindowEnabled(window); }, 5000));
  EXPECT_TRUE(IsWholeMovie(MovieOf(first)));  // the batch went on after the renamed file
  EXPECT_FALSE(Exists(MovieOf(renamed)));
  EXPECT_FALSE(Exists(gone));

  // That batch is over: the next one runs and ends by itself.
  ASSERT_TRUE(CreateDirectoryA(gone.c_str(), nullptr));
  ASSERT_TRUE(MoveFileA((folder + "\\later.gif").c_str(), renamed.c_str()));
  ASSERT_TRUE(Send(window, 1016));
  EXPECT_TRUE(IsWholeMovie(gone + "\\second.swf"));
  Exit(program, window);
}

}  // namespace
