// The conversion job end to end: both passes, header and assembly, cancel,
// the quiet command line, and every bad-input path of a job.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "app/conversion_job.h"
#include "gif/gif_converter.h"
#include "support/body_capture.h"
#include "support/gif_builder.h"
#include "support/settings_sandbox.h"
#include "support/temp_folder.h"

namespace fs = std::filesystem;
using gifbuild::GifBuilder;
using gifbuild::ImageSpec;

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
    gif.Image(ImageSpec{0, 0, 8, 6}, px);
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
  ASSERT_EQ(ConvertFile(src.c_str(), dst.c_str(), o, nullptr), 1);
  Bytes movie = ReadFileBytes(dst);
  ASSERT_GT(movie.size(), 30u);
  EXPECT_EQ(ToHex(Bytes(movie.begin(), movie.begin() + 4)), "46 57 53 02");
  uint32_t length = movie[4] | movie[5] << 8 | movie[6] << 16 | static_cast<uint32_t>(movie[7]) << 24;
  EXPECT_EQ(length, movie.size());
  // 18 x 18 stage (the frames are smaller), 10 fps, 1 + 2 + 1 movie frames.
  EXPECT_EQ(ToHex(Bytes(movie.begin() + 8, movie.begin() + 18)), "50 00 B4 00 0B 40 00 0A 04 00");
  EXPECT_EQ(ToHex(Bytes(movie.end() - 2, movie.end())), "00 00");  // End
  GifConverter& g = TheGifConverter();
  EXPECT_EQ(g.totalFrames, 3);
  EXPECT_EQ(g.screenWidth, 8);
  EXPECT_EQ(g.backgroundColour, 0xFFFFFFu);  // GIF background off: white
  EXPECT_EQ(tmp.FileCount(), 0) << "body file left behind";
}

TEST(ConvertFile, SourceThatIsNoGifGivesFramelessMovie) {
  ScopedTempFolder tmp("job-nogif");
  std::string dir = FreshFolder("job-nogif");
  std::string png = Join(dir, "anim.png");
  gifbuild::WriteFileBytes(png, {0x89, 'P', 'N', 'G', 13, 10, 26, 10, 0, 0, 0, 13});
  ConversionOptions o;
  o.useGifBackground = 1;
  o.protect = 1;
  for (const std::string& src : {png, Join(dir, "missing.gif")}) {
    std::string dst = Join(dir, "out.swf");
    ASSERT_EQ(ConvertFile(src.c_str(), dst.c_str(), o, nullptr), 1) << src;
    EXPECT_EQ(ToHex(ReadFileBytes(dst)), kFramelessMovie) << src;
  }
  EXPECT_EQ(tmp.FileCount(), 0);
}

TEST(ConvertFile, UnwritableDestinationFailsWithoutLeftovers) {
  ScopedTempFolder tmp("job-unwritable");
  std::string dir = FreshFolder("job-unwritable");
  std::string src = WriteAnimation(Join(dir, "a.gif"));
  std::string dst = Join(dir, "no/such/folder/a.swf");
  EXPECT_EQ(ConvertFile(src.c_str(), dst.c_str(), ConversionOptions(), nullptr), 0);
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
  EXPECT_EQ(ConvertFile(src.c_str(), dst.c_str(), ConversionOptions(), nullptr), 0);
  EXPECT_EQ(ToHex(ReadFileBytes(dst)), "6F 6C 64");
}

TEST(ConvertFile, OverlongPathsAreRejected) {
  ScopedTempFolder tmp("job-long");
  std::string dir = FreshFolder("job-long");
  std::string src = WriteAnimation(Join(dir, "a.gif"));
  std::string longName(260, 'x');
  std::string dst = Join(dir, "a.swf");
  EXPECT_EQ(ConvertFile(longName.c_str(), dst.c_str(), ConversionOptions(), nullptr), 0);
  EXPECT_FALSE(FileExists(dst));
  std::string longDst = std::string(259 - 4, 'y') + ".swf";  // 259 bytes: allowed length
  EXPECT_EQ(longDst.size(), 259u);
  std::string tooLong = longDst + "x";
  EXPECT_EQ(ConvertFile(src.c_str(), tooLong.c_str(), ConversionOptions(), nullptr), 0);
  EXPECT_EQ(tmp.FileCount(), 0);
}

#ifndef _WIN32
// The stand-in window lets the test set the cancel flag at an exact frame.
struct CancelAt {
  int command;
  int seen = 0;
};

void CancelOnCommand(void* context, const PostedCommand& c) {
  auto* at = static_cast<CancelAt*>(context);
  if (c.commandId == at->command && ++at->seen == 1) TheGifConverter().cancel = 1;
}

TEST(ConvertFile, CancelDuringEmissionWritesNothingAndReportsSuccess) {
  ScopedTempFolder tmp("job-cancel");
  std::string dir = FreshFolder("job-cancel");
  std::string src = WriteAnimation(Join(dir, "a.gif"));
  std::string dst = Join(dir, "a.swf");
  ConversionOptions o;
  o.writeHtml = 1;
  MessageWindow* w = CreateMessageWindow();
  CancelAt at{ID_FRAME_DONE};
  ObservePosts(w, CancelOnCommand, &at);
  EXPECT_EQ(ConvertFile(src.c_str(), dst.c_str(), o, w), 1);
  EXPECT_FALSE(FileExists(dst));
  EXPECT_FALSE(FileExists(Join(dir, "a.htm")));
  EXPECT_EQ(tmp.FileCount(), 0);
  DestroyMessageWindow(w);
}

TEST(ConvertFile, CancelDuringCountingIsForgottenAndProgressIsPosted) {
  ScopedTempFolder tmp("job-cancel1");
  std::string dir = FreshFolder("job-cancel1");
  std::string src = WriteAnimation(Join(dir, "a.gif"));
  std::string dst = Join(dir, "a.swf");
  MessageWindow* w = CreateMessageWindow();
  CancelAt at{ID_FRAME_COUNT};  // posted between the passes; the flag resets
  ObservePosts(w, CancelOnCommand, &at);
  EXPECT_EQ(ConvertFile(src.c_str(), dst.c_str(), ConversionOptions(), w), 1);
  EXPECT_TRUE(FileExists(dst));
  PostedCommand c;
  ASSERT_TRUE(TakePostedCommand(w, c));
  EXPECT_EQ(c.commandId, ID_FRAME_COUNT);
  EXPECT_EQ(c.param, 3);
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(TakePostedCommand(w, c));
    EXPECT_EQ(c.commandId, ID_FRAME_DONE);
    EXPECT_EQ(c.param, 0);
  }
  EXPECT_FALSE(TakePostedCommand(w, c));
  DestroyMessageWindow(w);
}
#endif

TEST(QuietConvert, CommandLineRules) {
  SettingsSandbox settings;
  ScopedTempFolder tmp("quiet");
  std::string dir = FreshFolder("quiet");
  WriteAnimation(Join(dir, "anim.GIF"));
  WriteAnimation(Join(dir, "a.gif"));

  EXPECT_EQ(QuietConvertIn(dir, "-quite anim.GIF"), 1);
  EXPECT_TRUE(FileExists(Join(dir, "anim.swf")));
  EXPECT_EQ(QuietConvertIn(dir, "-quite    a.gif"), 1);
  EXPECT_TRUE(FileExists(Join(dir, "a.swf")));
  fs::remove(Join(dir, "a.swf"));
  EXPECT_EQ(QuietConvertIn(dir, "-quitea.gif"), 1);  // no space needed
  EXPECT_TRUE(FileExists(Join(dir, "a.swf")));

  EXPECT_EQ(QuietConvertIn(dir, "-quite x.gi"), 0);  // fewer than 5 characters
  EXPECT_EQ(QuietConvertIn(dir, "-quite"), 0);
  EXPECT_EQ(QuietConvertIn(dir, "-quite " + std::string(260, 'n')), 0);

  // Whatever the last three characters are, they become "swf".
  EXPECT_EQ(QuietConvertIn(dir, "-quite pic.png"), 1);
  EXPECT_EQ(ToHex(ReadFileBytes(Join(dir, "pic.swf"))), kFramelessMovie);
  EXPECT_EQ(tmp.FileCount(), 0);
}

TEST(QuietConvert, OptionsAreAllOffWithoutStoredSettings) {
  SettingsSandbox settings;
  ScopedTempFolder tmp("quiet-off");
  std::string dir = FreshFolder("quiet-off");
  WriteAnimation(Join(dir, "b.gif"));
  ASSERT_EQ(QuietConvertIn(dir, "-quite b.gif"), 1);
  GifConverter& g = TheGifConverter();
  EXPECT_EQ(g.optionBackGround, 0);
  EXPECT_EQ(g.optionProtect, 0);
  EXPECT_FALSE(g.hasLinkUrl);
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
}

TEST(ShortenPathForDisplay, NeverGrowsPastItsSlot) {
  char text[260];
  std::string late = std::string(250, 'd') + "\\tail.gif";  // first separator near the end
  ASSERT_LT(late.size(), 260u);
  std::strcpy(text, late.c_str());
  ShortenPathForDisplay(text);
  EXPECT_EQ(std::string(text), "..." + late.substr(late.size() - 34));
}

}  // namespace
