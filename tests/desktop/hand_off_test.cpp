// Many copies of the program started with a file at the same moment, as
// Explorer's "add" command starts them: with a window running (also while
// it runs a batch) and with no window yet. Every name must reach the one
// window exactly once, and the hand-off values must be gone afterwards.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "desktop/desktop_program.h"
#include "support/temp_folder.h"

namespace {

using namespace desktop;

// count different files named <prefix><i>.gif, copies of real GIFs by
// several makers.
std::vector<std::string> GifCopies(const std::string& folder, const std::string& prefix, int count) {
  const char* fixtures[] = {"luma_clock", "qip_af", "gnunet_error", "mrtg_msie", "apache_pb", "ntpsec_peer"};
  std::vector<std::string> paths;
  for (int i = 0; i < count; ++i) {
    paths.push_back(folder + "\\" + prefix + std::to_string(i) + ".gif");
    CopySource(std::string("tests/fixtures/gifs/") + fixtures[i % 6] + ".gif", paths.back());
  }
  return paths;
}

// The list holds each name once and nothing else; NumFiles is 0 and the
// numbered values (1, 2, ... up to the number of senders) are gone.
void ExpectHandedOnce(HWND window, std::vector<std::string> names, int senders) {
  std::vector<std::string> lines = ListLines(window);
  std::sort(lines.begin(), lines.end());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(lines, names);
  DWORD count = 99, size = sizeof count;
  EXPECT_EQ(RegGetValueA(HKEY_LOCAL_MACHINE, "Software\\Tervano", "NumFiles", RRF_RT_REG_DWORD, nullptr, &count, &size),
            ERROR_SUCCESS);
  EXPECT_EQ(count, 0u);
  for (int i = 1; i <= senders; ++i) {
    EXPECT_NE(RegGetValueA(HKEY_LOCAL_MACHINE, "Software\\Tervano", std::to_string(i).c_str(), RRF_RT_ANY, nullptr,
                           nullptr, nullptr),
              ERROR_SUCCESS) << i;
  }
}

TEST_F(DesktopProgram, ManyStartsWithWindowRunningAndDuringBatch) {
  std::string folder = FreshFolder("desktop-hand-off");
  std::vector<std::string> names = GifCopies(folder, "a", 31), busy = GifCopies(folder, "b", 30);
  std::string slow = folder + "\\slow.gif";
  // The batch must outlast 30 starts, which on a loaded machine take many
  // seconds: a long GIF, compressed on one thread only.
  ASSERT_TRUE(MakeSlowGif(slow, 120));
  SetEnvironmentVariableA("TERVANO_THREADS", "1");
  RunningProgram program(names[0]);
  SetEnvironmentVariableA("TERVANO_THREADS", nullptr);
  HWND window = WaitForWindow(kTitle, program.id());
  ASSERT_NE(window, nullptr);
  // 30 GIF files, and two texts that name nothing to open (one longer than
  // any path): those are taken and dropped.
  std::vector<std::string> texts(names.begin() + 1, names.end());
  texts.push_back(folder + "\\" + std::string(300, 'x') + ".gif");
  texts.push_back(folder + "\\missing.gif");
  long slowest = StartTogether(texts).WaitEnd(60000);
  ASSERT_GE(slowest, 0) << "a sender did not end";
  std::printf("%zu starts, window running: slowest ended after %ld ms\n", texts.size(), slowest);
  ExpectHandedOnce(window, names, 32);
  EXPECT_EQ(CountWindows(kTitle), 1);

  // The slow file last: the batch is still on it while 30 more arrive.
  RunningProgram last(slow);
  ASSERT_TRUE(last.WaitExit(15000));
  Command(window, 1016);
  HWND progress = WaitForWindow("正在转换", program.id());
  ASSERT_NE(progress, nullptr);
  slowest = StartTogether(busy).WaitEnd(60000);
  ASSERT_GE(slowest, 0) << "a sender did not end";
  std::printf("%zu starts during a batch: slowest ended after %ld ms\n", busy.size(), slowest);
  // A quiet conversion meanwhile is a process of its own.
  std::string quiet = folder + "\\quiet.gif";
  CopySource("tests/fixtures/gifs/qip_af.gif", quiet);
  EXPECT_TRUE(RunningProgram("-quite " + quiet).WaitExit(15000));
  EXPECT_TRUE(IsWholeMovie(MovieOf(quiet)));
  ASSERT_TRUE(IsWindow(progress)) << "the batch ended before the senders: make the slow GIF slower";
  names.push_back(slow);
  names.insert(names.end(), busy.begin(), busy.end());
  ExpectHandedOnce(window, names, 30);

  // The batch ends by itself and converted only the list it started with.
  EXPECT_TRUE(WaitFor([&] { return !IsWindow(progress); }, 120000));
  for (size_t i = 0; i < names.size(); ++i) EXPECT_EQ(IsWholeMovie(MovieOf(names[i])), i <= 31) << names[i];
  Exit(program, window);
}

// -quite says by its exit status whether the file was converted, and a
// source that is no GIF leaves a good movie of its name as it was.
TEST_F(DesktopProgram, QuietConversionExitStatus) {
  std::string folder = FreshFolder("desktop-quiet");
  std::string good = folder + "\\good.gif", text = folder + "\\text.gif";
  CopySource("tests/fixtures/gifs/qip_af.gif", good);
  DWORD code = 1;
  EXPECT_TRUE(RunningProgram("-quite " + good).WaitExit(15000, &code));
  EXPECT_EQ(code, 0u);
  ASSERT_TRUE(IsWholeMovie(MovieOf(good)));
  std::ofstream(text, std::ios::binary) << "hello";
  ASSERT_TRUE(CopyFileA(MovieOf(good).c_str(), MovieOf(text).c_str(), FALSE));
  code = 0;
  EXPECT_TRUE(RunningProgram("-quite " + text).WaitExit(15000, &code));
  EXPECT_EQ(code, 1u);
  std::vector<uint8_t> kept, original;
  EXPECT_TRUE(gifbuild::ReadFileBytes(MovieOf(text), kept) && gifbuild::ReadFileBytes(MovieOf(good), original));
  EXPECT_TRUE(kept == original);
}

TEST_F(DesktopProgram, ManyStartsWithNoWindowYet) {
  std::vector<std::string> names = GifCopies(FreshFolder("desktop-hand-off-first"), "n", 30);
  StartedTogether starts = StartTogether(names);
  HWND window = WaitForWindow(kTitle, 0, 60000);
  ASSERT_NE(window, nullptr);
  DWORD opener = 0;
  GetWindowThreadProcessId(window, &opener);
  long slowest = starts.WaitEnd(60000, opener);
  ASSERT_GE(slowest, 0) << "a sender did not end";
  std::printf("%zu starts, no window: slowest sender ended after %ld ms\n", names.size(), slowest);
  // Those that found only the marker are collected by the window's timer.
  EXPECT_TRUE(WaitFor([&] { return ListLines(window).size() >= names.size(); }, 5000));
  ExpectHandedOnce(window, names, 30);
  EXPECT_EQ(CountWindows(kTitle), 1);
  EXPECT_FALSE(MarkerExists());
  Command(window, 32775);
  EXPECT_TRUE(WaitFor([&] { return !IsWindow(window); }, 15000));
}

}  // namespace
