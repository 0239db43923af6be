// The batch: which lines of the list become which files, what the progress
// window is told, cancel and write failures; and the hand-off of files
// between processes.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <set>
#include <string>
#include <thread>
#include <vector>

#ifndef _WIN32
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "app/batch_worker.h"
#include "app/hand_off.h"
#include "app/settings_store.h"
#include "platform/registry_keys.h"
#include "support/body_capture.h"
#include "support/gif_builder.h"
#include "support/gif_convert.h"
#include "support/progress_recorder.h"
#include "support/settings_sandbox.h"
#include "support/temp_folder.h"

namespace fs = std::filesystem;
using gifbuild::GifBuilder;
using gifbuild::ImageDescriptor;

namespace {


TEST(BatchStatus, ShortenedAndLowerCase) {
  char text[260];
  MakeBatchStatusText("C:\\Movies\\Some ANIMATION With A Long NAME Here.SWF", text);
  EXPECT_EQ(std::string(text), "c:\\...nimation with a long name here.swf");
}

// Five small GIFs in a fresh folder; their names, in list order.
std::vector<std::string> FiveGifs(const std::string& dir) {
  std::vector<std::string> names;
  for (int i = 0; i < 5; ++i) {
    GifBuilder gif(8, 6, Palette(4));
    for (int f = 0; f < 3; ++f) gif.Image(ImageDescriptor{0, 0, 8, 6}, Stripes(8, 6, 4));
    gif.Trailer();
    std::string path = (fs::path(dir) / ("f" + std::to_string(i) + ".GIF")).string();
    EXPECT_TRUE(gif.Save(path));
    names.push_back(path);
  }
  return names;
}

void Fill(BatchRequest& r, const std::vector<std::string>& lines) {
  r.fileList.clear();
  for (size_t i = 0; i < lines.size(); ++i) r.fileList += (i ? "\r\n" : "") + lines[i];
  r.lineCount = static_cast<int32_t>(lines.size());
}

std::string Swf(const std::string& gif) { return gif.substr(0, gif.size() - 3) + "swf"; }

TEST(RunBatch, ConvertsEveryFileAndReportsEachStep) {
  ScopedTempFolder tmp("batch-all");
  std::string dir = FreshFolder("batch-all");
  std::vector<std::string> gifs = FiveGifs(dir);
  std::vector<std::string> lines = gifs;
  lines.insert(lines.begin() + 2, (fs::path(dir) / "notes.txt").string());
  BatchRequest request;
  Fill(request, lines);
  ProgressRecorder progress;
  RunBatch(request, &progress, nullptr);
  for (const std::string& g : gifs) EXPECT_TRUE(FileExists(Swf(g))) << g;
  // Per file: step, frame count 3, three frames; then the end of the batch.
  ASSERT_EQ(progress.events.size(), 5u * 5u + 1u);
  for (int f = 0; f < 5; ++f) {
    const ProgressEvent* e = &progress.events[static_cast<size_t>(f) * 5];
    EXPECT_EQ(e[0].commandId, ID_PROGRESS_STEP);
    const std::string name = "f" + std::to_string(f) + ".swf";  // from f<i>.GIF, lower case
    EXPECT_EQ(e[0].status.substr(e[0].status.size() - name.size()), name);
    EXPECT_EQ(e[1].commandId, ID_FRAME_COUNT);
    EXPECT_EQ(e[1].param, 3);
    for (int i = 2; i < 5; ++i) EXPECT_EQ(e[i].commandId, ID_FRAME_DONE);
  }
  EXPECT_EQ(progress.events.back().commandId, ID_BATCH_DONE);
  EXPECT_EQ(tmp.FileCount(), 0);
}

// Every sent name is taken exactly once, in the order of its number, however
// senders and receivers interleave.
std::vector<std::string> SendAndTake(int senders, int perSender) {
  std::vector<std::string> taken;
  std::atomic<bool> sending{true};
  std::thread receiver([&] {
    while (sending.load()) {
      std::vector<std::string> t = TakeHandedTexts();
      taken.insert(taken.end(), t.begin(), t.end());
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  });
  auto prefix = [](int s) { return "C:\\s" + std::to_string(s) + "\\f"; };
#ifndef _WIN32
  // Separate processes, as the senders are.
  std::vector<pid_t> children;
  for (int s = 0; s < senders; ++s) {
    std::string p = prefix(s), n = std::to_string(perSender);
    char* args[] = {const_cast<char*>(TERVANO_HAND_OFF_SENDER), &p[0], &n[0], nullptr};
    pid_t pid = -1;
    EXPECT_EQ(posix_spawn(&pid, TERVANO_HAND_OFF_SENDER, nullptr, nullptr, args, environ), 0);
    if (pid > 0) children.push_back(pid);
  }
  for (pid_t pid : children) {
    int status = -1;
    waitpid(pid, &status, 0);
    EXPECT_EQ(status, 0);
  }
#else
  std::vector<std::thread> threads;
  for (int s = 0; s < senders; ++s)
    threads.emplace_back([&, s] {
      for (int i = 0; i < perSender; ++i)
        EXPECT_TRUE(StoreHandedText((prefix(s) + std::to_string(i) + ".gif").c_str()).done());
    });
  for (std::thread& t : threads) t.join();
#endif
  sending.store(false);
  receiver.join();
  std::vector<std::string> rest = TakeHandedTexts();
  taken.insert(taken.end(), rest.begin(), rest.end());
  return taken;
}

TEST(HandOff, NoNameIsLostOrTakenTwice) {
  SettingsSandbox settings;
  const int senders = 12, perSender = 8;
  std::vector<std::string> taken = SendAndTake(senders, perSender);
  std::set<std::string> distinct(taken.begin(), taken.end());
  EXPECT_EQ(taken.size(), static_cast<size_t>(senders * perSender));
  EXPECT_EQ(distinct.size(), taken.size());
  // Each sender's names arrive in the order it sent them.
  for (int s = 0; s < senders; ++s) {
    int last = -1;
    for (const std::string& t : taken) {
      std::string head = "C:\\s" + std::to_string(s) + "\\f";
      if (t.compare(0, head.size(), head) != 0) continue;
      int i = std::stoi(t.substr(head.size()));
      EXPECT_GT(i, last) << t;
      last = i;
    }
  }
  int32_t count = -1;
  EXPECT_EQ(ReadKeyNumber(kSettingsKeyPath, kNumFilesValue, count), 1);
  EXPECT_EQ(count, 0);
  std::string text;
  for (int i = 1; i <= senders * perSender; ++i)
    EXPECT_EQ(ReadKeyText(kSettingsKeyPath, std::to_string(i).c_str(), text), 0) << i;
}

TEST(HandOff, OverlongValueIsDeletedAndCountCapped) {
  SettingsSandbox settings;
  ASSERT_TRUE(WriteKeyNumber(kSettingsKeyPath, kNumFilesValue, 3).done());
  ASSERT_TRUE(WriteKeyText(kSettingsKeyPath, "1", "C:\\a.gif").done());
  ASSERT_TRUE(WriteKeyText(kSettingsKeyPath, "2", std::string(400, 'x').c_str()).done());
  ASSERT_TRUE(WriteKeyText(kSettingsKeyPath, "3", "C:\\c.gif").done());
  EXPECT_EQ(TakeHandedTexts(), (std::vector<std::string>{"C:\\a.gif", "C:\\c.gif"}));
  std::string text;
  EXPECT_EQ(ReadKeyText(kSettingsKeyPath, "2", text), 0);
  // A damaged count ends the walk at its cap; the count is reset.
  ASSERT_TRUE(WriteKeyNumber(kSettingsKeyPath, kNumFilesValue, 0x7FFFFFFF).done());
  ASSERT_TRUE(WriteKeyText(kSettingsKeyPath, "1", "C:\\d.gif").done());
  EXPECT_EQ(TakeHandedTexts(), std::vector<std::string>{"C:\\d.gif"});
  EXPECT_TRUE(StoreHandedText("C:\\e.gif").done());
  EXPECT_EQ(TakeHandedTexts(), std::vector<std::string>{"C:\\e.gif"});
}

}  // namespace
