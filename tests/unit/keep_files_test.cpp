// Old files survive what goes wrong: a conversion killed while it writes
// the movie, and, in the window's batch, lines that cannot be converted or
// that give a movie already made in the same batch, each told to the user.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#ifndef _WIN32
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "app/batch_worker.h"
#include "app/conversion_job.h"
#include "app/list_entry.h"
#include "support/body_capture.h"
#include "support/gif_builder.h"
#include "support/gif_convert.h"
#include "support/progress_recorder.h"
#include "support/temp_folder.h"

namespace fs = std::filesystem;
using gifbuild::GifBuilder;
using gifbuild::ImageDescriptor;
using Bytes = std::vector<uint8_t>;

namespace {

#ifdef _WIN32
const char kSep[] = "\\";
#else
const char kSep[] = "/";
#endif

std::string In(const std::string& dir, const std::string& name) { return dir + kSep + name; }

std::string SaveGif(const std::string& path, int width, int height) {
  GifBuilder gif(width, height, Palette(4));
  gif.Image(ImageDescriptor{0, 0, width, height}, Stripes(width, height, 4));
  EXPECT_TRUE(gif.Trailer().Save(path)) << path;
  return path;
}

#ifndef _WIN32
void KillSelf(int) { kill(getpid(), SIGKILL); }

// Killed while it writes the movie, the conversion leaves the old movie as
// it was. The kill comes at a set byte: the size limit is one byte short of
// the movie (so the body, which lacks the header, still fits), and the
// signal of the write that crosses it turns into SIGKILL.
TEST(KeepFiles, KilledWhileTheMovieIsWrittenLeavesTheOldMovie) {
  const std::string dir = FreshFolder("keep-kill");
  const std::string src = In(dir, "a.gif"), dst = In(dir, "a.swf"), reference = In(dir, "reference.swf");
  // Noise, so that the movie is several copy chunks long.
  GifBuilder gif(400, 300, Palette(4));
  std::vector<uint8_t> pixels(400 * 300);
  uint32_t seed = 7;
  for (int f = 0; f < 8; ++f) {
    for (uint8_t& p : pixels) p = static_cast<uint8_t>((seed = seed * 1103515245u + 12345u) >> 30);
    gif.Image(ImageDescriptor{0, 0, 400, 300}, pixels);
  }
  ASSERT_TRUE(gif.Trailer().Save(src));
  ASSERT_EQ(ConvertFile(src.c_str(), reference.c_str(), ConversionOptions()).status, ConversionStatus::kConverted);
  const Bytes movie = ReadFileBytes(reference);
  ASSERT_GT(movie.size(), 150000u);
  Bytes old(5000);
  for (size_t i = 0; i < old.size(); ++i) old[i] = static_cast<uint8_t>(i * 31);
  gifbuild::WriteFileBytes(dst, old);

  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    signal(SIGXFSZ, KillSelf);
    rlimit limit{};
    limit.rlim_cur = limit.rlim_max = movie.size() - 1;
    setrlimit(RLIMIT_FSIZE, &limit);
    (void)ConvertFile(src.c_str(), dst.c_str(), ConversionOptions());  // stopped by the file size limit
    _exit(0);
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << status;
  EXPECT_TRUE(ReadFileBytes(dst) == old) << "the old movie was cut";
  // Only the killed conversion's temporary file, cut short, is left.
  for (const auto& entry : fs::directory_iterator(dir)) {
    std::string name = entry.path().filename().string();
    if (name == "a.gif" || name == "a.swf" || name == "reference.swf") continue;
    EXPECT_EQ(entry.file_size(), movie.size() - 1) << name;
  }
}
#endif

class NoticeRecorder : public BatchNotices {
 public:
  void Show(const BatchNotice& notice) override { shown.push_back(notice); }
  std::vector<BatchNotice> shown;
};

BatchRequest& Lines(BatchRequest& r, const std::vector<std::string>& lines) {
  r.fileList.clear();
  for (size_t i = 0; i < lines.size(); ++i) r.fileList += (i ? "\r\n" : "") + lines[i];
  r.lineCount = static_cast<int32_t>(lines.size());
  return r;
}

// A line whose source is gone or no GIF is told by name, its old movie
// kept, and the batch goes on; a movie that cannot be written is told and
// ends the batch.
TEST(RunBatch, EachFailedFileIsToldAndOnlyAnUnwritableMovieStops) {
  const std::string dir = FreshFolder("batch-told");
  const std::string a = SaveGif(In(dir, "a.gif"), 8, 6), b = SaveGif(In(dir, "b.gif"), 5, 9);
  const std::string c = SaveGif(In(dir, "c.gif"), 4, 4), d = SaveGif(In(dir, "d.gif"), 4, 4);
  const std::string gone = In(dir, "gone.gif"), text = In(dir, "text.gif");
  gifbuild::WriteFileBytes(text, {'h', 'i', '\n'});
  const Bytes old = {'F', 'W', 'S', 2, 'o', 'l', 'd'};
  gifbuild::WriteFileBytes(In(dir, "gone.swf"), old);
  gifbuild::WriteFileBytes(In(dir, "text.swf"), old);
  fs::create_directory(In(dir, "c.swf"));  // the movie's name is taken by a folder

  BatchRequest request;
  request.publish.writeHtml = 1;
  ProgressRecorder progress;
  NoticeRecorder notices;
  RunBatch(Lines(request, {a, gone, text, b, c, d}), &progress, &notices);

  ASSERT_EQ(notices.shown.size(), 3u);
  EXPECT_EQ(notices.shown[0].text, "错误: 无法读取文件 " + gone);
  EXPECT_EQ(notices.shown[1].text, "错误: 不是 GIF 文件 " + text);
  EXPECT_EQ(notices.shown[2].text, "错误: 无法写入文件 " + In(dir, "c.swf"));
  EXPECT_TRUE(notices.shown[2].stopsBatch);
  for (const BatchNotice& n : notices.shown) EXPECT_FALSE(n.aboutPage);
  EXPECT_TRUE(ReadFileBytes(In(dir, "gone.swf")) == old);
  EXPECT_TRUE(ReadFileBytes(In(dir, "text.swf")) == old);
  EXPECT_TRUE(FileExists(In(dir, "a.swf")) && FileExists(In(dir, "b.htm")));
  EXPECT_FALSE(FileExists(In(dir, "c.htm")));  // no page for a movie that is not there
  EXPECT_FALSE(FileExists(In(dir, "d.swf")));
  ASSERT_FALSE(progress.events.empty());
  EXPECT_EQ(progress.events.back().commandId, ID_BATCH_DONE);
}

// Two lines that give one movie, however it is spelt: the second is not
// converted over the first, and the user is told.
TEST(RunBatch, SecondLineForTheSameMovieIsToldNotConverted) {
  const std::string dir = FreshFolder("batch-twice");
  std::vector<std::string> lines;
  std::string first, second, movie, secondMovie;
#ifdef _WIN32
  fs::create_directory(In(dir, "x"));
  fs::create_directory(In(dir, "y"));
  fs::create_directory(In(dir, "out"));
  first = SaveGif(In(dir, "x\\a.gif"), 8, 6);
  second = SaveGif(In(dir, "y\\A.gif"), 5, 9);
  movie = In(dir, "out\\a.swf");
  secondMovie = In(dir, "out\\A.swf");
  lines = {std::string(kDestinationPrefix) + In(dir, "out"), first, second};
#else
  first = SaveGif(In(dir, "a.gif"), 8, 6);
  second = SaveGif(In(dir, "a.GIF"), 5, 9);
  movie = secondMovie = In(dir, "a.swf");
  lines = {first, second};
#endif
  const std::string reference = In(dir, "reference.swf");
  ASSERT_EQ(ConvertFile(first.c_str(), reference.c_str(), ConversionOptions()).status, ConversionStatus::kConverted);

  BatchRequest request;
  NoticeRecorder notices;
  RunBatch(Lines(request, lines), nullptr, &notices);
  ASSERT_EQ(notices.shown.size(), 1u);
  EXPECT_EQ(notices.shown[0].text, "错误: 本批中已有文件转换为 " + secondMovie);
  EXPECT_FALSE(notices.shown[0].stopsBatch);
  EXPECT_TRUE(ReadFileBytes(movie) == ReadFileBytes(reference));
}

}  // namespace
