// The convert command of the real program, driven from another process:
// the batch with its progress window runs to the end, stops on Cancel, and
// stops with a message at a destination that is gone.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "desktop/desktop_program.h"
#include "support/temp_folder.h"

namespace {

using namespace desktop;

const char kProgressTitle[] = "正在转换";
const char kReady[] = " 个文件准备转换";

bool EndsWith(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

std::string Movie(const std::string& gif) { return gif.substr(0, gif.size() - 3) + "swf"; }

// Hands each file to the running window the way a second start does.
void HandOver(const std::vector<std::string>& paths) {
  for (const std::string& path : paths) {
    RunningProgram sender(path);
    ASSERT_TRUE(sender.WaitExit(15000)) << path;
  }
}

bool BecomesEnabled(HWND window, DWORD milliseconds) {
  for (DWORD waited = 0; !IsWindowEnabled(window); waited += 50) {
    if (waited >= milliseconds) return false;
    Sleep(50);
  }
  return true;
}

TEST_F(DesktopProgram, BatchRunsToItsEndAndCancelStopsIt) {
  std::string folder = FreshFolder("desktop-batch");
  std::vector<std::string> gifs;
  for (const char* name : {"mrtg_msprod", "luma_clock", "congruity_throbber", "xmahjongg_small", "qip_af"}) {
    gifs.push_back(folder + "\\" + name + ".gif");
    CopySource(std::string("tests/fixtures/gifs/") + name + ".gif", gifs.back());
  }
  RunningProgram program(gifs[0]);
  HWND window = WaitForWindow(kTitle, program.id());
  ASSERT_NE(window, nullptr);
  HandOver(std::vector<std::string>(gifs.begin() + 1, gifs.end()));
  EXPECT_EQ(ListLines(window), gifs);
  EXPECT_EQ(ItemText(window, 1003), "5" + std::string(kReady));

  // Returns once the batch is over: the progress window has closed by itself.
  ASSERT_TRUE(Send(window, 1016));
  EXPECT_EQ(CountWindows(kProgressTitle), 0);
  EXPECT_EQ(CountWindows("tervano"), 0);  // no error box
  for (const std::string& gif : gifs) {
    EXPECT_TRUE(IsWholeMovie(Movie(gif))) << gif;
    EXPECT_TRUE(Exists(gif.substr(0, gif.size() - 3) + "htm")) << gif;  // pages on in a first run
  }

  // Cancel while the second of three slow files converts.
  Command(window, 1002);
  std::vector<std::string> slow;
  for (const char* name : {"\\slow1.gif", "\\slow2.gif", "\\slow3.gif"}) {
    slow.push_back(folder + name);
    ASSERT_TRUE(MakeSlowGif(slow.back(), 35));
  }
  HandOver(slow);
  ASSERT_EQ(ListLines(window), slow);
  Command(window, 1016);
  HWND progress = WaitForWindow(kProgressTitle, program.id());
  ASSERT_NE(progress, nullptr);
  EXPECT_FALSE(IsWindowEnabled(window));
  HWND fileBar = GetDlgItem(progress, 1019), frameBar = GetDlgItem(progress, 1020);
  EXPECT_EQ(SendMessageA(fileBar, PBM_GETRANGE, FALSE, 0), 4);  // three lines + 1
  for (DWORD waited = 0; !EndsWith(ItemText(progress, 1025), "slow2.swf") && waited < 30000; waited += 20) Sleep(20);
  ASSERT_TRUE(EndsWith(ItemText(progress, 1025), "slow2.swf")) << ItemText(progress, 1025);
  EXPECT_EQ(SendMessageA(frameBar, PBM_GETRANGE, FALSE, 0), 35);  // from the counting pass
  Click(progress, IDCANCEL);
  EXPECT_TRUE(WaitGone(progress, 1000));
  // At most the rest of the second file (a cancel in its counting pass lets
  // it complete), and the window never stops painting meanwhile.
  EXPECT_TRUE(Settle(window, 1000));
  EXPECT_TRUE(BecomesEnabled(window, 30000));
  EXPECT_TRUE(IsWholeMovie(Movie(slow[0])));
  EXPECT_TRUE(!Exists(Movie(slow[1])) || IsWholeMovie(Movie(slow[1])));
  EXPECT_FALSE(Exists(Movie(slow[2])));
  Exit(program, window);
  EXPECT_FALSE(Exists(Movie(slow[2])));
}

TEST_F(DesktopProgram, DestinationGoneStopsTheBatchWithAMessage) {
  std::string folder = FreshFolder("desktop-batch-gone");
  std::string first = folder + "\\first.gif", second = folder + "\\second.gif";
  CopySource("tests/fixtures/gifs/luma_clock.gif", first);
  CopySource("tests/fixtures/gifs/gnunet_error.gif", second);
  std::string gone = PickerFolder("gone");
  // Started where the folder browser can reach.
  RunningProgram program(first, PickerFolder("gone-start"));
  HWND window = WaitForWindow(kTitle, program.id());
  ASSERT_NE(window, nullptr);
  ASSERT_TRUE(ChooseDestination(window, program.id(), gone));
  HandOver({second});
  ASSERT_EQ(ListLines(window), (std::vector<std::string>{first, "Dest--目标文件夹为: " + gone, second}));
  ASSERT_TRUE(RemoveDirectoryA(gone.c_str()));

  Command(window, 1016);
  // The page writer reports its page first (pages are on in a first run),
  // then the batch its movie.
  HWND pageBox = WaitForWindow("正在写入 HTML", program.id());
  ASSERT_NE(pageBox, nullptr);
  EXPECT_EQ(ItemText(pageBox, 0xFFFF), "错误: 无法写入文件 " + gone + "\\second.htm");
  Click(pageBox, IDOK);
  HWND box = WaitForWindow("tervano", program.id());
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(ItemText(box, 0xFFFF), "错误: 无法写入文件 " + gone + "\\second.swf");
  HWND progress = WaitForWindow(kProgressTitle, program.id(), 0);
  ASSERT_NE(progress, nullptr);  // the batch waits for the answer,
  EXPECT_FALSE(IsWindowEnabled(progress));  // and Cancel cannot end it meanwhile
  Click(box, IDOK);
  EXPECT_TRUE(WaitGone(progress, 5000));
  EXPECT_TRUE(BecomesEnabled(window, 5000));
  EXPECT_TRUE(IsWholeMovie(Movie(first)));
  EXPECT_FALSE(Exists(gone));

  // The batch is really over: the next one runs and ends by itself.
  ASSERT_TRUE(CreateDirectoryA(gone.c_str(), nullptr));
  ASSERT_TRUE(Send(window, 1016));
  EXPECT_TRUE(IsWholeMovie(gone + "\\second.swf"));
  EXPECT_EQ(CountWindows("tervano"), 0);
  Exit(program, window);
}

}  // namespace
