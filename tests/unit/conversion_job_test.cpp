// The conversion job end to end: both passes, header and assembly, cancel,
// the quiet command line, and every bad-input path of a job.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "app/conversion_job.h"
#include "support/body_capture.h"
#include "support/gif_builder.h"
#include "support/gif_convert.h"
#include "support/progress_recorder.h"
#include "support/swf_tags.h"
#include "support/settings_sandbox.h"
#include "support/temp_folder.h"

namespace fs = std::filesystem;
using gifbuild::GifBuilder;
using gifbuild::ImageDescriptor;

namespace {

const char* kFramelessMovie = "46 57 53 02 14 00 00 00 50 00 B4 00 0B 40 00 0A 00 00 00 00";

std::string Join(const std::string& folder, const std::string& name) { return (fs::path(folder) / name).string(); }

// Three 8 x 6 frames, delays 10, 25 and 0.
std::string WriteAnimation(const std::string& path) {
  GifBuilder gif(8, 6, {{0, 0, 0}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}});
  const int delays[] = {10, 25, 0};
  for (int f = 0; f < 3; ++f) {
    std::vector<uint8_t> px(48);
    for (size_t i = 0; i < px.size(); ++i) px[i] = static_cast<uint8_t>((i + f) & 3);
    gif.GraphicControl(delays[f], 1);
    gif.Image(ImageDescriptor{0, 0, 8, 6}, px);
  }
  gif.Trailer();
  EXPECT_TRUE(gif.Save(path));
  return path;
}


TEST(ConvertFile, AnimationBecomesCompleteMovie) {
  ScopedTempFolder tmp("job-anim");
  std::string dir = FreshFolder("job-anim");
  std::string src = WriteAnimation(Join(dir, "anim.gif"));
  std::string dst = Join(dir, "anim.swf");
  ConversionOptions o;
  o.writeHtml = 1;
  ProgressRecorder progress;
  ASSERT_EQ(ConvertFile(src.c_str(), dst.c_str(), o, &progress).status, ConversionStatus::kConverted);
  Bytes movie = ReadFileBytes(dst);
  ASSERT_GT(movie.size(), 30u);
  EXPECT_EQ(ToHex(Bytes(movie.begin(), movie.begin() + 4)), "46 57 53 02");
  uint32_t length = movie[4] | movie[5] << 8 | movie[6] << 16 | static_cast<uint32_t>(movie[7]) << 24;
  EXPECT_EQ(length, movie.size());
  // 18 x 18 stage (the frames are smaller), 10 fps, 1 + 2 + 1 movie frames.
  EXPECT_EQ(ToHex(Bytes(movie.begin() + 8, movie.begin() + 18)), "50 00 B4 00 0B 40 00 0A 04 00");
  EXPECT_EQ(ToHex(Bytes(movie.end() - 2, movie.end())), "00 00");  // End
  EXPECT_EQ(progress.FramesCounted(), 3);
  // The page gets the GIF's screen and, with the GIF background off, white.
  Bytes page = ReadFileBytes(Join(dir, "anim.htm"));
  std::string text(page.begin(), page.end());
  EXPECT_NE(text.find("bgcolor=#FFFFFF width=8 height=6 "), std::string::npos) << text;
  EXPECT_EQ(tmp.FileCount(), 0) << "body file left behind";
}

// A source that is missing or no GIF gives no movie: a good one already
// there stays as it was, and the result says why.
TEST(ConvertFile, SourceThatIsNoGifLeavesTheOldMovie) {
  ScopedTempFolder tmp("job-nogif");
  std::string dir = FreshFolder("job-nogif");
  std::string png = Join(dir, "anim.png");
  gifbuild::WriteFileBytes(png, {0x89, 'P', 'N', 'G', 13, 10, 26, 10, 0, 0, 0, 13});
  std::string text = Join(dir, "notes.gif");
  gifbuild::WriteFileBytes(text, {'h', 'e', 'l', 'l', 'o', '\n'});
  std::string good = WriteAnimation(Join(dir, "good.gif"));
  std::string dst = Join(dir, "out.swf");
  ConversionOptions o;
  o.writeHtml = 1;
  ASSERT_EQ(ConvertFile(good.c_str(), dst.c_str(), o).status, ConversionStatus::kConverted);
  Bytes movie = ReadFileBytes(dst), page = ReadFileBytes(Join(dir, "out.htm"));
  struct Case {
    std::string source;
    ConversionStatus status;
  };
  for (const Case& k : {Case{png, ConversionStatus::kNotGif}, Case{text, ConversionStatus::kNotGif},
                        Case{Join(dir, "missing.gif"), ConversionStatus::kSourceUnreadable},
                        Case{dir, ConversionStatus::kSourceUnreadable}}) {
    ConversionResult r = ConvertFile(k.source.c_str(), dst.c_str(), o);
    EXPECT_EQ(r.status, k.status) << k.source;
    EXPECT_EQ(r.path, k.source);
    EXPECT_TRUE(ReadFileBytes(dst) == movie) << k.source;
    EXPECT_TRUE(ReadFileBytes(Join(dir, "out.htm")) == page) << k.source;
  }
  EXPECT_EQ(ConvertFile(Join(dir, "missing.gif").c_str(), dst.c_str(), o).reason, std::strerror(ENOENT));
  EXPECT_EQ(tmp.FileCount(), 0);
}

// The main window takes a file only when it reads as a GIF: its first three
// bytes are "GIF" (any version); a short, other or missing file, or a
// folder, is not one.
TEST(IsGifFile, OnlyFilesThatBeginWithTheSignature) {
  std::string dir = FreshFolder("job-isgif");
  std::string odd = Join(dir, "odd.gif"), shortFile = Join(dir, "short.gif"), lower = Join(dir, "lower.gif");
  gifbuild::WriteFileBytes(odd, {'G', 'I', 'F', '0', '0', '0'});
  gifbuild::WriteFileBytes(shortFile, {'G', 'I'});
  gifbuild::WriteFileBytes(lower, {'g', 'i', 'f', '8', '9', 'a'});
  EXPECT_TRUE(IsGifFile(WriteAnimation(Join(dir, "a.gif")).c_str()));
  EXPECT_TRUE(IsGifFile(odd.c_str()));
  EXPECT_FALSE(IsGifFile(shortFile.c_str()));
  EXPECT_FALSE(IsGifFile(lower.c_str()));
  EXPECT_FALSE(IsGifFile(Join(dir, "missing.gif").c_str()));
  EXPECT_FALSE(IsGifFile(dir.c_str()));
}

TEST(ConvertFile, UnwritableDestinationFailsWithoutLeftovers) {
  ScopedTempFolder tmp("job-unwritable");
  std::string dir = FreshFolder("job-unwritable");
  std::string src = WriteAnimation(Join(dir, "a.gif"));
  std::string dst = Join(dir, "no/such/folder/a.swf");
  ConversionResult r = ConvertFile(src.c_str(), dst.c_str(), ConversionOptions(), nullptr);
  EXPECT_EQ(r.status, ConversionStatus::kMovieNotWritable);
  EXPECT_EQ(r.path, dst);
#ifdef _WIN32
  EXPECT_FALSE(r.reason.empty());  // the system's text, in the system's language
#else
  EXPECT_EQ(r.reason, std::strerror(ENOENT));
#endif
  EXPECT_FALSE(FileExists(dst));
  EXPECT_EQ(tmp.FileCount(), 0);
}

TEST(ConvertFile, BodyThatCannotBeCreatedLeavesDestinationUntouched) {
  ScopedTempFolder tmp("job-nobody");
  std::string dir = FreshFolder("job-nobody");
  std::string src = WriteAnimation(Join(dir, "a.gif"));
  std::string dst = Join(dir, "a.swf");
  gifbuild::WriteFileBytes(dst, {'o', 'l', 'd'});
  tmp.PointAtMissingFolder();
  EXPECT_EQ(ConvertFile(src.c_str(), dst.c_str(), ConversionOptions(), nullptr).status,
            ConversionStatus::kMovieNotWritable);
  EXPECT_EQ(ToHex(ReadFileBytes(dst)), "6F 6C 64");
}

TEST(ConvertFile, OverlongPathsAreRejected) {
  ScopedTempFolder tmp("job-long");
  std::string dir = FreshFolder("job-long");
  std::string src = WriteAnimation(Join(dir, "a.gif"));
  std::string longName(260, 'x');
  std::string dst = Join(dir, "a.swf");
  EXPECT_EQ(ConvertFile(longName.c_str(), dst.c_str(), ConversionOptions(), nullptr).status,
            ConversionStatus::kPathTooLong);
  EXPECT_FALSE(FileExists(dst));
  std::string longDst = std::string(259 - 4, 'y') + ".swf";  // 259 bytes: allowed length
  EXPECT_EQ(longDst.size(), 259u);
  std::string tooLong = longDst + "x";
  ConversionResult r = ConvertFile(src.c_str(), tooLong.c_str(), ConversionOptions(), nullptr);
  EXPECT_EQ(r.status, ConversionStatus::kPathTooLong);
  EXPECT_EQ(r.path, tooLong);
  EXPECT_EQ(tmp.FileCount(), 0);
}

// Cancels the job at the first report of `command`, as the progress window
// does when the user closes it.
struct CancelAt {
  std::atomic<bool> flag{false};
  ProgressRecorder progress;
  explicit CancelAt(int command) {
    progress.observer = [this, command](const ProgressEvent& e) {
      if (e.commandId == command) flag.store(true);
    };
  }
};

TEST(ConvertFile, CancelDuringEmissionWritesNothingAndReportsSuccess) {
  ScopedTempFolder tmp("job-cancel");
  std::string dir = FreshFolder("job-cancel");
  std::string src = WriteAnimation(Join(dir, "a.gif"));
  std::string dst = Join(dir, "a.swf");
  ConversionOptions o;
  o.writeHtml = 1;
  CancelAt at(ID_FRAME_DONE);
  EXPECT_EQ(ConvertFile(src.c_str(), dst.c_str(), o, &at.progress, &at.flag).status, ConversionStatus::kCancelled);
  EXPECT_FALSE(FileExists(dst));
  EXPECT_FALSE(FileExists(Join(dir, "a.htm")));
  EXPECT_EQ(tmp.FileCount(), 0);
}

TEST(ConvertFile, CancelDuringCountingIsForgottenAndProgressIsReported) {
  ScopedTempFolder tmp("job-cancel1");
  std::string dir = FreshFolder("job-cancel1");
  std::string src = WriteAnimation(Join(dir, "a.gif"));
  std::string dst = Join(dir, "a.swf");
  ConversionOptions o;
  o.writeHtml = 1;
  CancelAt at(ID_FRAME_COUNT);  // reported between the passes; the flag resets
  EXPECT_EQ(ConvertFile(src.c_str(), dst.c_str(), o, &at.progress, &at.flag).status, ConversionStatus::kConverted);
  EXPECT_TRUE(FileExists(dst));
  const std::vector<ProgressEvent>& e = at.progress.events;
  ASSERT_EQ(e.size(), 5u);
  EXPECT_EQ(e[0].commandId, ID_FRAME_COUNT);
  EXPECT_EQ(e[0].param, 3);
  for (int i = 1; i <= 3; ++i) EXPECT_EQ(e[i].commandId, ID_FRAME_DONE);
  // The page writer's step comes last and names the page.
  EXPECT_EQ(e[4].commandId, ID_PROGRESS_STEP);
  std::string page = Join(dir, "a.htm");
  std::string tail = page.substr(page.size() - 34);
  ASSERT_GE(e[4].status.size(), 34u);
  EXPECT_EQ(e[4].status.substr(e[4].status.size() - 34), tail);
}

// Cancels at the n-th frame report (0: never).
struct CancelAtFrame {
  std::atomic<bool> flag{false};
  ProgressRecorder progress;
  explicit CancelAtFrame(int n) {
    progress.observer = [this, n](const ProgressEvent&) {
      if (n > 0 && progress.Count(ID_FRAME_DONE) == n) flag.store(true);
    };
  }
};

// Several compression threads against one: the same movie and the same
// reports in the same order; cancelled at the first, a middle or the last
// frame, with frames still in flight, no movie, no page and no body file.
TEST(ConvertFile, ThreadsGiveTheSameMovieAndReportsAndCancelCleanly) {
  ScopedTempFolder tmp("job-pool");
  std::string dir = FreshFolder("job-pool");
  // 30 frames of 200 x 150, enough to fill the window of 4 threads.
  GifBuilder gif(200, 150, Palette(16));
  for (int f = 0; f < 30; ++f) {
    std::vector<uint8_t> px(200 * 150);
    uint32_t x = static_cast<uint32_t>(f) * 2654435761u + 7;
    for (size_t i = 0; i < px.size(); ++i) {
      x ^= x << 13, x ^= x >> 17, x ^= x << 5;
      px[i] = static_cast<uint8_t>((i / 200) % 4 == 0 ? x % 16 : (i / 9 + f) % 16);
    }
    gif.GraphicControl(f % 3 == 0 ? 0 : 20, f % 4);
    gif.Image(ImageDescriptor{0, 0, 200, 150}, px);
  }
  gif.Trailer();
  std::string src = Join(dir, "busy.gif");
  ASSERT_TRUE(gif.Save(src));
  ConversionOptions o;
  o.writeHtml = 1;

  for (int cancelAt : {0, 1, 15, 30}) {
    std::vector<ProgressEvent> reports[2];
    Bytes movies[2];
    const int threads[2] = {1, 4};
    for (int k = 0; k < 2; ++k) {
      std::string dst = Join(dir, "busy" + std::to_string(k) + ".swf");
      std::string page = Join(dir, "busy" + std::to_string(k) + ".htm");
      o.threads = threads[k];
      CancelAtFrame at(cancelAt);
      EXPECT_EQ(ConvertFile(src.c_str(), dst.c_str(), o, &at.progress, &at.flag).status,
                cancelAt == 0 ? ConversionStatus::kConverted : ConversionStatus::kCancelled);
      EXPECT_EQ(FileExists(dst), cancelAt == 0) << threads[k] << " threads, cancel at " << cancelAt;
      EXPECT_EQ(FileExists(page), cancelAt == 0);
      EXPECT_EQ(tmp.FileCount(), 0) << threads[k] << " threads, cancel at " << cancelAt;
      reports[k] = at.progress.events;
      if (cancelAt == 0) movies[k] = ReadFileBytes(dst);
      fs::remove(dst);
      fs::remove(page);
    }
    ASSERT_EQ(reports[0].size(), reports[1].size()) << "cancel at " << cancelAt;
    EXPECT_GE(reports[0].size(), 31u);  // the frame count and every frame
    for (size_t i = 0; i < reports[0].size(); ++i) {
      EXPECT_EQ(reports[0][i].commandId, reports[1][i].commandId) << i;
      EXPECT_EQ(reports[0][i].param, reports[1][i].param) << i;
    }
    if (cancelAt == 0) {
      ASSERT_GT(movies[0].size(), 100000u);
      EXPECT_TRUE(movies[0] == movies[1]);
    }
  }
}

// TERVANO_THREADS is taken when a job asks for no count of its own; anything
// but a number from 1 to 64 leaves the choice to the number of cores.
TEST(CompressionThreads, RequestThenEnvironmentThenCores) {
  const char* saved = std::getenv("TERVANO_THREADS");
  std::string keep = saved ? saved : "";
  auto set = [](const char* value) {
#ifdef _WIN32
    _putenv_s("TERVANO_THREADS", value);
#else
    if (*value) setenv("TERVANO_THREADS", value, 1); else unsetenv("TERVANO_THREADS");
#endif
  };
  set("");
  const int cores = CompressionThreads(0);
  EXPECT_GE(cores, 1);
  set("3");
  EXPECT_EQ(CompressionThreads(0), 3);
  EXPECT_EQ(CompressionThreads(1), 1);
  EXPECT_EQ(CompressionThreads(5), 5);
  EXPECT_EQ(CompressionThreads(1000), 64);
  set("64");
  EXPECT_EQ(CompressionThreads(0), 64);
  for (const char* bad : {"0", "65", "-2", "2x", "two"}) {
    set(bad);
    EXPECT_EQ(CompressionThreads(0), cores) << bad;
  }
  set(keep.c_str());
}

// Converting a file onto itself would destroy it: nothing is written.
TEST(ConvertFile, DestinationThatIsTheSourceIsLeftAlone) {
  SettingsSandbox settings;
  ScopedTempFolder tmp("job-self");
  std::string dir = FreshFolder("job-self");
  std::string swf = Join(dir, "keep.swf");
  gifbuild::WriteFileBytes(swf, {'F', 'W', 'S', 2, 'o', 'l', 'd'});
  EXPECT_EQ(ConvertFile(swf.c_str(), swf.c_str(), ConversionOptions()).status, ConversionStatus::kDestinationIsSource);
  // The same file under another spelling of its path.
  std::string other = Join(Join(dir, "."), "keep.swf");
  EXPECT_EQ(ConvertFile(swf.c_str(), other.c_str(), ConversionOptions()).status,
            ConversionStatus::kDestinationIsSource);
  EXPECT_EQ(ToHex(ReadFileBytes(swf)), "46 57 53 02 6F 6C 64");

  EXPECT_EQ(QuietConvertIn(dir, "-quite keep.swf"), 1);  // failed
  EXPECT_EQ(ToHex(ReadFileBytes(swf)), "46 57 53 02 6F 6C 64");
  EXPECT_EQ(tmp.FileCount(), 0);
}

// Each job owns its state: two jobs on two threads at once write the same
// bytes as the same jobs one after the other.
TEST(ConvertFile, JobsOnTwoThreadsMatchJobsInSequence) {
  ScopedTempFolder tmp("job-threads");
  std::string dir = FreshFolder("job-threads");
  std::string small = WriteAnimation(Join(dir, "small.gif"));
  // 24 frames of varied size, position, delay, disposal and transparency.
  GifBuilder gif(64, 48, Palette(16));
  for (int f = 0; f < 24; ++f) {
    const int left = f % 5, top = f % 3, width = 64 - left, height = 48 - top;
    std::vector<uint8_t> px(static_cast<size_t>(width * height));
    for (size_t i = 0; i < px.size(); ++i) px[i] = static_cast<uint8_t>((i / 3 + i % 61 + f * 7) % 16);
    gif.GraphicControl(5 * f, f % 4, f % 3 == 0 ? 2 : -1);
    gif.Image(ImageDescriptor{left, top, width, height}, px);
  }
  gif.Trailer();
  std::string large = Join(dir, "large.gif");
  ASSERT_TRUE(gif.Save(large));
  ConversionOptions a;
  a.borderCorrection = 1;
  a.useLinkUrl = 1;
  a.linkUrl = "http://a.example/";
  ConversionOptions b;
  b.optimiseCanvas = 1;
  b.useGifBackground = 1;
  b.changeLoop = 1;
  b.playCount = 3;

  struct Job {
    std::string source;
    ConversionOptions options;
  };
  const Job jobs[2] = {{large, a}, {small, b}};
  Bytes alone[2];
  for (int j = 0; j < 2; ++j) {
    std::string out = Join(dir, "alone" + std::to_string(j) + ".swf");
    ASSERT_EQ(ConvertFile(jobs[j].source.c_str(), out.c_str(), jobs[j].options).status, ConversionStatus::kConverted);
    alone[j] = ReadFileBytes(out);
  }
  for (int round = 0; round < 4; ++round) {
    int results[2] = {0, 0};
    std::string outs[2] = {Join(dir, "t0.swf"), Join(dir, "t1.swf")};
    std::thread threads[2];
    for (int j = 0; j < 2; ++j)
      threads[j] = std::thread([&, j] {
        // The small job runs several times while the large one runs once.
        for (int k = 0; k < (j == 0 ? 1 : 6) && results[j] >= 0; ++k)
          results[j] = ConvertFile(jobs[j].source.c_str(), outs[j].c_str(), jobs[j].options).status ==
                               ConversionStatus::kConverted
                           ? 1
                           : -1;
      });
    for (std::thread& t : threads) t.join();
    for (int j = 0; j < 2; ++j) {
      EXPECT_EQ(results[j], 1);
      EXPECT_TRUE(ReadFileBytes(outs[j]) == alone[j]) << "job " << j << ", round " << round;
    }
  }
  EXPECT_EQ(tmp.FileCount(), 0);
}

TEST(QuietConvert, CommandLineRules) {
  SettingsSandbox settings;
  ScopedTempFolder tmp("quiet");
  std::string dir = FreshFolder("quiet");
  WriteAnimation(Join(dir, "anim.GIF"));
  WriteAnimation(Join(dir, "a.gif"));

  EXPECT_EQ(QuietConvertIn(dir, "-quite anim.GIF"), 0);
  EXPECT_TRUE(FileExists(Join(dir, "anim.swf")));
  EXPECT_EQ(QuietConvertIn(dir, "-quite    a.gif"), 0);
  EXPECT_TRUE(FileExists(Join(dir, "a.swf")));
  fs::remove(Join(dir, "a.swf"));
  EXPECT_EQ(QuietConvertIn(dir, "-quitea.gif"), 0);  // no space needed
  EXPECT_TRUE(FileExists(Join(dir, "a.swf")));

  EXPECT_EQ(QuietConvertIn(dir, "-quite x.gi"), 1);  // fewer than 5 characters
  EXPECT_EQ(QuietConvertIn(dir, "-quite"), 1);
  EXPECT_EQ(QuietConvertIn(dir, "-quite " + std::string(260, 'n')), 1);

  // Whatever the last three characters are, they become "swf".
  fs::copy_file(Join(dir, "a.gif"), Join(dir, "pic.dat"));
  EXPECT_EQ(QuietConvertIn(dir, "-quite pic.dat"), 0);
  EXPECT_TRUE(ReadFileBytes(Join(dir, "pic.swf")) == ReadFileBytes(Join(dir, "a.swf")));
  EXPECT_EQ(tmp.FileCount(), 0);
}

TEST(QuietConvert, OptionsAreAllOffWithoutStoredSettings) {
  SettingsSandbox settings;
  ScopedTempFolder tmp("quiet-off");
  std::string dir = FreshFolder("quiet-off");
  WriteAnimation(Join(dir, "b.gif"));
  ASSERT_EQ(QuietConvertIn(dir, "-quite b.gif"), 0);
  SwfMovie movie = ParseMovieFile(Join(dir, "b.swf"));
  ASSERT_TRUE(movie.ok);
  for (const SwfTag& t : movie.tags) {
    EXPECT_NE(t.code, kSetBackgroundColor);
    EXPECT_NE(t.code, kProtect);
    EXPECT_NE(t.code, kDefineButton2);
  }
  EXPECT_FALSE(FileExists(Join(dir, "b.htm")));
}

TEST(ShortenPathForDisplay, KeepsShortAndCutsLong) {
  char text[260];
  std::string forty = "C:\\" + std::string(37, 'a');
  std::strcpy(text, forty.c_str());
  ShortenPathForDisplay(text);
  EXPECT_EQ(std::string(text), forty);

  std::string fortyOne = "C:\\" + std::string(37, 'a') + "b";
  std::strcpy(text, fortyOne.c_str());
  ShortenPathForDisplay(text);
  EXPECT_EQ(std::string(text), "C:\\..." + fortyOne.substr(fortyOne.size() - 34));

  std::string fifty = "C:\\pics\\" + std::string(38, 'c') + ".gif";
  ASSERT_EQ(fifty.size(), 50u);
  std::strcpy(text, fifty.c_str());
  ShortenPathForDisplay(text);
  EXPECT_EQ(std::strlen(text), 40u);
  EXPECT_EQ(std::string(text), "C:\\..." + fifty.substr(16));

  // Only a backslash ends the head; a slash is part of it.
  std::string slashes = "/home/pics/" + std::string(35, 'e') + ".gif";
  std::strcpy(text, slashes.c_str());
  ShortenPathForDisplay(text);
  EXPECT_EQ(std::string(text), "..." + slashes.substr(slashes.size() - 34));
  std::string mixed = "a/b\\" + std::string(40, 'f');
  std::strcpy(text, mixed.c_str());
  ShortenPathForDisplay(text);
  EXPECT_EQ(std::string(text), "a/b\\..." + mixed.substr(mixed.size() - 34));
}

TEST(ShortenPathForDisplay, NeverGrowsPastItsSlot) {
  char text[260];
  std::string late = std::string(250, 'd') + "\\tail.gif";  // first backslash near the end
  ASSERT_LT(late.size(), 260u);
  std::strcpy(text, late.c_str());
  ShortenPathForDisplay(text);
  EXPECT_EQ(std::string(text), "..." + late.substr(late.size() - 34));
}

}  // namespace

// A conversion in memory runs the same passes and writers as one from a file:
// real GIFs, and one large enough to refill the reader's buffer several
// times, give the file conversion's bytes. It needs no temp folder at all.
TEST(ConvertMemory, GivesTheFileConversionsBytesWithoutTouchingDisk) {
  ScopedTempFolder tmp("job-memory");
  std::string dir = FreshFolder("job-memory");
  std::vector<std::string> sources;
  for (const auto& e : fs::directory_iterator(std::string(TERVANO_SOURCE_DIR) + "/tests/fixtures/gifs"))
    if (e.path().extension() == ".gif") sources.push_back(e.path().string());
  std::sort(sources.begin(), sources.end());
  ASSERT_GE(sources.size(), 10u);
  GifBuilder big(200, 200, Palette(256));
  for (int f = 0; f < 4; ++f) {
    std::vector<uint8_t> px(200 * 200);
    uint32_t x = 12345u + f;
    for (uint8_t& p : px) p = static_cast<uint8_t>((x = x * 1103515245u + 12345u) >> 24);
    big.GraphicControl(7, f % 4, f == 2 ? 5 : -1);
    big.Image(ImageDescriptor{0, 0, 200, 200}, px);
  }
  big.Trailer();
  ASSERT_GT(big.Bytes().size(), 3u * 65536);
  sources.push_back(Join(dir, "big.gif"));
  ASSERT_TRUE(big.Save(sources.back()));

  ConversionOptions options[3];
  options[1].borderCorrection = options[1].optimiseCanvas = options[1].useGifBackground = 1;
  options[2].changeLoop = options[2].protect = options[2].useLinkUrl = options[2].writeHtml = 1;
  options[2].playCount = 4;
  options[2].linkUrl = "http://a.example/";
  std::vector<Bytes> fromFiles, pages;
  for (const std::string& src : sources)
    for (const ConversionOptions& o : options) {
      std::string dst = Join(dir, "out.swf");
      ASSERT_EQ(ConvertFile(src.c_str(), dst.c_str(), o).status, ConversionStatus::kConverted) << src;
      fromFiles.push_back(ReadFileBytes(dst));
      pages.push_back(o.writeHtml ? ReadFileBytes(Join(dir, "out.htm")) : Bytes());
    }

  tmp.PointAtMissingFolder();  // a file conversion cannot run now
  size_t i = 0;
  for (const std::string& src : sources) {
    Bytes gif = ReadFileBytes(src);
    for (const ConversionOptions& o : options) {
      Bytes movie{1, 2, 3};
      ASSERT_EQ(ConvertMemory(gif.data(), gif.size(), o, movie).status, ConversionStatus::kConverted) << src;
      EXPECT_TRUE(movie == fromFiles[i]) << src;
      // The checked entry gives the same movie, and the page the file had.
      MemoryConversion out;
      ASSERT_EQ(ConvertGifInMemory(gif.data(), gif.size(), "out.swf", o, out).status, ConversionStatus::kConverted);
      EXPECT_TRUE(out.movie == fromFiles[i]) << src;
      EXPECT_TRUE(Bytes(out.page.begin(), out.page.end()) == pages[i]) << src;
      ++i;
    }
  }
  // The checked entry refuses what a file conversion refuses.
  MemoryConversion refused;
  const uint8_t text[] = "GI not a gif";
  EXPECT_EQ(ConvertGifInMemory(text, sizeof text, "t.swf", ConversionOptions(), refused).status,
            ConversionStatus::kNotGif);
  EXPECT_EQ(ConvertGifInMemory(nullptr, 0, "t.swf", ConversionOptions(), refused).status, ConversionStatus::kNotGif);
  EXPECT_TRUE(refused.movie.empty() && refused.page.empty());
  // No GIF at all: the frameless movie; a cancel: no movie.
  Bytes movie;
  ASSERT_EQ(ConvertMemory(nullptr, 0, ConversionOptions(), movie).status, ConversionStatus::kConverted);
  EXPECT_EQ(ToHex(movie), kFramelessMovie);
  CancelAt at(ID_FRAME_DONE);
  Bytes gif = ReadFileBytes(sources.back());
  EXPECT_EQ(ConvertMemory(gif.data(), gif.size(), ConversionOptions(), movie, &at.progress, &at.flag).status,
            ConversionStatus::kCancelled);
  EXPECT_TRUE(movie.empty());
}
