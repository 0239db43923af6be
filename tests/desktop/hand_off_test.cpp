// Many copies of the program started with a file at the same moment, as
// Explorer's "add" command starts them: with a window running (also while
// it runs a batch) and with no window yet. Every name must reach the one
// window exactly once and the hand-off values must be gone afterwards.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "desktop/desktop_program.h"
#include "support/temp_folder.h"

namespace {

using namespace desktop;

const int kSenders = 30;
const char kFixtures[][32] = {"apache_pb", "congruity_throbber", "dokuwiki_throbber", "gdk_pixbuf_test_animation",
                              "gif_suite_high_color", "gifwrap_count_loop3", "gnunet_error", "httrack_bg_rings",
                              "luma_clock", "mrtg_m", "mrtg_msie", "mrtg_msprod", "ntpsec_peer", "qip_af",
                              "xmahjongg_small", "yahoo_moneyeyes"};

// count different GIF files (real ones, by several makers) named
// <prefix><i>.gif in folder.
std::vector<std::string> GifCopies(const std::string& folder, const std::string& prefix, int count) {
  std::vector<std::string> paths;
  for (int i = 0; i < count; ++i) {
    std::string path = folder + "\\" + prefix + std::to_string(i) + ".gif";
    const char* fixture = kFixtures[i % (sizeof kFixtures / sizeof kFixtures[0])];
    CopySource(std::string("tests/fixtures/gifs/") + fixture + ".gif", path);
    paths.push_back(path);
  }
  return paths;
}

// NumFiles as the registry holds it (-1: missing), and the names of the
// numbered values left in the settings key, read with the plain registry
// calls.
long NumFiles() {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Tervano", 0, KEY_READ, &key) != ERROR_SUCCESS) return -1;
  DWORD value = 0, size = sizeof value, type = 0;
  LONG r = RegQueryValueExA(key, "NumFiles", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
  RegCloseKey(key);
  return r == ERROR_SUCCESS && type == REG_DWORD ? static_cast<long>(value) : -1;
}

std::vector<std::string> NumberedValues() {
  std::vector<std::string> names;
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Tervano", 0, KEY_READ, &key) != ERROR_SUCCESS) return names;
  char name[256];
  for (DWORD i = 0;; ++i) {
    DWORD length = sizeof name;
    if (RegEnumValueA(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    std::string n(name, length);
    if (!n.empty() && n.find_first_not_of("0123456789") == std::string::npos) names.push_back(n);
  }
  RegCloseKey(key);
  return names;
}

// How often each expected name is in the list, and the lines that are none
// of them.
void ExpectEachOnce(const std::vector<std::string>& lines, const std::vector<std::string>& expected) {
  std::map<std::string, int> seen;
  for (const std::string& line : lines) ++seen[line];
  for (const std::string& path : expected) EXPECT_EQ(seen[path], 1) << path;
  EXPECT_EQ(lines.size(), expected.size());
}

// Waits until the list has `count` lines.
bool ListReaches(HWND window, size_t count, DWORD milliseconds) {
  for (DWORD waited = 0; ListLines(window).size() < count; waited += 100) {
    if (waited >= milliseconds) return false;
    Sleep(100);
  }
  return true;
}

TEST_F(DesktopProgram, ManyStartsWithWindowRunningAndDuringBatch) {
  std::string folder = FreshFolder("desktop-hand-off");
  std::vector<std::string> first = GifCopies(folder, "a", 1);
  std::vector<std::string> wave = GifCopies(folder, "w", kSenders);
  std::vector<std::string> busy = GifCopies(folder, "b", kSenders);
  std::string slow = folder + "\\slow.gif";
  ASSERT_TRUE(MakeSlowGif(slow, 35));

  RunningProgram program(first[0]);
  HWND window = WaitForWindow(kTitle, program.id());
  ASSERT_NE(window, nullptr);
  // Two texts that name no GIF file the window can open: one longer than
  // any path. They are taken and dropped.
  std::vector<std::string> texts = wave;
  texts.push_back(folder + "\\" + std::string(300, 'x') + ".gif");
  texts.push_back(folder + "\\missing.gif");
  long slowest = StartTogether(texts, 120000);
  ASSERT_GE(slowest, 0) << "a sender did not end";
  std::printf("%d senders, window running: slowest ended after %ld ms\n", static_cast<int>(texts.size()), slowest);
  std::vector<std::string> expected = first;
  expected.insert(expected.end(), wave.begin(), wave.end());
  ExpectEachOnce(ListLines(window), expected);
  EXPECT_EQ(NumFiles(), 0);
  EXPECT_TRUE(NumberedValues().empty());
  EXPECT_EQ(CountWindows(kTitle), 1);

  // The slow file last, so the batch is still on it while the second wave
  // comes in.
  RunningProgram last(slow);
  ASSERT_TRUE(last.WaitExit(15000));
  Command(window, 1016);
  HWND progress = WaitForWindow("正在转换", program.id());
  ASSERT_NE(progress, nullptr);
  slowest = StartTogether(busy, 120000);
  ASSERT_GE(slowest, 0) << "a sender did not end";
  std::printf("%d senders during a batch: slowest ended after %ld ms\n", kSenders, slowest);
  // A quiet conversion meanwhile is a process of its own.
  std::string quiet = folder + "\\quiet.gif";
  CopySource("tests/fixtures/gifs/qip_af.gif", quiet);
  RunningProgram quietRun("-quite " + quiet);
  EXPECT_TRUE(quietRun.WaitExit(15000));
  EXPECT_TRUE(IsWholeMovie(folder + "\\quiet.swf"));
  ASSERT_TRUE(IsWindow(progress)) << "the batch ended before the senders: make the slow GIF slower";
  expected.push_back(slow);
  expected.insert(expected.end(), busy.begin(), busy.end());
  ExpectEachOnce(ListLines(window), expected);
  EXPECT_EQ(NumFiles(), 0);
  EXPECT_TRUE(NumberedValues().empty());
  // The batch ends by itself with the list it started with.
  EXPECT_TRUE(WaitGone(progress, 60000));
  for (const std::string& path : wave) EXPECT_TRUE(IsWholeMovie(path.substr(0, path.size() - 3) + "swf")) << path;
  for (const std::string& path : busy) EXPECT_FALSE(Exists(path.substr(0, path.size() - 3) + "swf")) << path;
  Exit(program, window);
}

TEST_F(DesktopProgram, ManyStartsWithNoWindowYet) {
  std::string folder = FreshFolder("desktop-hand-off-first");
  std::vector<std::string> names = GifCopies(folder, "n", kSenders);
  // All at once; the one that opens the window keeps running.
  std::vector<std::unique_ptr<RunningProgram>> programs;
  for (const std::string& name : names) programs.emplace_back(new RunningProgram(name, std::string(), true));
  FILETIME start;
  GetSystemTimeAsFileTime(&start);
  for (auto& program : programs) program->Resume();
  HWND window = WaitForWindow(kTitle, 0, 60000);
  ASSERT_NE(window, nullptr);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  long slowest = 0;
  RunningProgram* opener = nullptr;
  for (auto& program : programs) {
    if (program->id() == owner) {
      opener = program.get();
      continue;
    }
    ASSERT_TRUE(program->WaitExit(120000)) << "a sender did not end";
    slowest = std::max(slowest, program->EndedAfter(start));
  }
  ASSERT_NE(opener, nullptr);
  std::printf("%d starts, no window: slowest sender ended after %ld ms\n", kSenders, slowest);
  // Those that found only the marker are collected by the window's timer.
  EXPECT_TRUE(ListReaches(window, names.size(), 5000));
  ExpectEachOnce(ListLines(window), names);
  EXPECT_EQ(CountWindows(kTitle), 1);
  EXPECT_FALSE(MarkerExists());
  EXPECT_EQ(NumFiles(), 0);
  EXPECT_TRUE(NumberedValues().empty());
  Exit(*opener, window);
}

}  // namespace
