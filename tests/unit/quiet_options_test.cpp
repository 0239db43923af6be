// The quiet conversion takes its options from the settings store: stored
// options change the movie and the page that "-quite" writes.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "app/conversion_job.h"
#include "app/settings_store.h"
#include "support/body_capture.h"
#include "support/gif_builder.h"
#include "support/movie_expect.h"
#include "support/settings_sandbox.h"
#include "support/swf_tags.h"
#include "support/temp_folder.h"

namespace fs = std::filesystem;
using gifbuild::GifBuilder;
using gifbuild::ImageDescriptor;

namespace {

// Two full-screen 8 x 6 frames on background index 0 (colour 10 20 30),
// each with one pixel of content.
void WriteTwoFrames(const std::string& path) {
  GifBuilder gif(8, 6, {{0x10, 0x20, 0x30}, {255, 255, 255}, {255, 0, 0}, {0, 0, 255}}, 0);
  for (int f = 0; f < 2; ++f) {
    std::vector<uint8_t> px(48, 0);
    px[2 * 8 + 3 + f] = static_cast<uint8_t>(2 + f);  // row 2, column 3 or 4
    gif.GraphicControl(20, 1);
    gif.Image(ImageDescriptor{0, 0, 8, 6}, px);
  }
  gif.Trailer();
  ASSERT_TRUE(gif.Save(path));
}

std::string PageText(const std::string& path) {
  Bytes b = ReadFileBytes(path);
  return std::string(b.begin(), b.end());
}

TEST(QuietStoredOptions, EveryStoredOptionReachesMovieAndPage) {
  SettingsSandbox settings;
  ScopedTempFolder tmp("quiet-stored");
  std::string dir = FreshFolder("quiet-stored");
  WriteTwoFrames((fs::path(dir) / "s.gif").string());

  ASSERT_TRUE(WriteSettingNumber("OptionBackGround", 1).done());
  ASSERT_TRUE(WriteSettingNumber("OptionProtect", 1).done());
  ASSERT_TRUE(WriteSettingNumber("OptionTransparent", 1).done());
  ASSERT_TRUE(WriteSettingNumber("OptionCanvasSize", 1).done());
  ASSERT_TRUE(WriteSettingNumber("OptionURL", 1).done());
  ASSERT_TRUE(WriteSettingText("OptionURLName", "http://a.example/x").done());
  ASSERT_TRUE(WriteSettingNumber("OptionHTML", 1).done());
  ASSERT_TRUE(WriteSettingNumber("OptionHideMenu", 0).done());
  ASSERT_TRUE(WriteSettingNumber("OptionChangeLoop", 1).done());
  ASSERT_TRUE(WriteSettingNumber("OptionLoopForever", 0).done());
  ASSERT_TRUE(WriteSettingNumber("OptionLoopValue", 3).done());

  ASSERT_EQ(QuietConvertIn(dir, "-quite s.gif"), 0);
  std::string moviePath = (fs::path(dir) / "s.swf").string();
  SwfMovie m = ParseMovieFile(moviePath);
  ASSERT_TRUE(m.ok);
  // Background and protection first; cropped 1 x 1 frames with a border
  // become 3 x 3 at (2, 1) and (3, 1); the link button sits on frame 1; the
  // loop choice "play 3 times" gives the limit 2 on the last frame.
  EXPECT_EQ(DescribeTags(m),
            "bg:102030 protect bits2:1 shape:2 place:1/2 button:3 place:2/3 show*2 "
            "bits2:5 shape:6 place:5/6 loop:2 show*2 end");
  EXPECT_EQ(m.frameCount, 4);
  EXPECT_EQ(m.xmax, 18 * 20);

  ExpectedMovie e;
  e.frameCount = 4;
  e.Add(ExpectBackground(0x102030));
  e.Add(ExpectProtect());
  e.Add(ExpectBitmap(1, 3, 3, 5, true));
  e.Add(ExpectBitmapShape(2, TwipRect{40, 20, 100, 80}, {65535, 1}));
  e.Add(ExpectPlace(1, 2));
  e.Add(ExpectLinkButton(3, "http://a.example/x", 2, 1));
  e.Add(ExpectPlace(2, 3));
  e.Add(ExpectShowFrame());
  e.Add(ExpectShowFrame());
  e.Add(ExpectBitmap(5, 3, 3, 5, true));
  e.Add(ExpectBitmapShape(6, TwipRect{60, 20, 120, 80}, {65535, 5}));
  e.Add(ExpectPlace(5, 6));
  e.Add(ExpectScript(LoopLimitActions(2)));
  e.Add(ExpectShowFrame());
  e.Add(ExpectShowFrame());
  std::string checked = TestMoviePath("quiet_stored_options");
  fs::copy_file(moviePath, checked, fs::copy_options::overwrite_existing);
  ASSERT_TRUE(WriteExpectation(checked, e));

  std::string page = PageText((fs::path(dir) / "s.htm").string());
  EXPECT_NE(page.find("    <TITLE>S</TITLE>\r\n"), std::string::npos);
  EXPECT_NE(page.find("  <BODY bgcolor=\"#102030\">\r\n"), std::string::npos);
  EXPECT_NE(page.find("width=8 height=6> <PARAM NAME=movie VALUE=\"s.swf\">"), std::string::npos);
  EXPECT_NE(page.find("<PARAM NAME=bgcolor VALUE=#102030> <PARAM NAME=menu VALUE=false>\r\n"), std::string::npos);
  EXPECT_NE(page.find("type=\"application/x-shockwave-flash\" menu=false\r\n"), std::string::npos);
  EXPECT_EQ(tmp.FileCount(), 0);
}

TEST(QuietStoredOptions, UrlSwitchedOffIgnoresStoredAddress) {
  SettingsSandbox settings;
  ScopedTempFolder tmp("quiet-nourl");
  std::string dir = FreshFolder("quiet-nourl");
  WriteTwoFrames((fs::path(dir) / "n.gif").string());
  ASSERT_TRUE(WriteSettingText("OptionURLName", "http://a.example/x").done());
  ASSERT_TRUE(WriteSettingNumber("OptionURL", 0).done());
  ASSERT_EQ(QuietConvertIn(dir, "-quite n.gif"), 0);
  SwfMovie m = ParseMovieFile((fs::path(dir) / "n.swf").string());
  ASSERT_TRUE(m.ok);
  // Nothing stored but the link text: every option off, GIF looping (none: stop).
  EXPECT_EQ(DescribeTags(m), "bits:1 shape:2 place:1/2 show*2 bits:3 shape:4 place:3/4 stop show*2 end");
  EXPECT_FALSE(FileExists((fs::path(dir) / "n.htm").string()));
}

TEST(QuietStoredOptions, EmptyStoredUrlStillGivesTheButton) {
  SettingsSandbox settings;
  ScopedTempFolder tmp("quiet-emptyurl");
  std::string dir = FreshFolder("quiet-emptyurl");
  WriteTwoFrames((fs::path(dir) / "u.gif").string());
  ASSERT_TRUE(WriteSettingText("OptionURLName", "").done());
  ASSERT_TRUE(WriteSettingNumber("OptionURL", 1).done());
  ASSERT_EQ(QuietConvertIn(dir, "-quite u.gif"), 0);
  SwfMovie m = ParseMovieFile((fs::path(dir) / "u.swf").string());
  ASSERT_TRUE(m.ok);
  EXPECT_EQ(DescribeTags(m),
            "bits:1 shape:2 place:1/2 button:3 place:2/3 show*2 bits:5 shape:6 place:5/6 stop show*2 end");
}

}  // namespace
