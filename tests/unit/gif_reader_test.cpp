// The GIF block reader through whole conversions: what it skips, what it
// keeps from extensions, where it stops, and where it resumes after an image.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "support/body_capture.h"
#include "support/gif_builder.h"
#include "support/gif_convert.h"

using gifbuild::GifBuilder;
using gifbuild::ImageDescriptor;
using gifbuild::Rgb;

namespace {

constexpr int kMinStage = 18 * 20;  // twips

std::vector<uint8_t> RgbBytes(const std::vector<Rgb>& colours) {
  std::vector<uint8_t> out;
  for (const Rgb& c : colours) out.insert(out.end(), {c.r, c.g, c.b});
  return out;
}

TEST(GifReader, TrailerDoesNotEndTheFileAndStrayBytesAreSkipped) {
  GifBuilder gif(8, 6, Palette(4));
  gif.Image(ImageDescriptor{0, 0, 8, 6}, Stripes(8, 6, 4));
  gif.Trailer();
  gif.Raw({0x00, 0x00, 0x3B, 0x99, 0x01, 0xFF});
  gif.GraphicControl(30, 0);
  gif.Image(ImageDescriptor{2, 1, 4, 3}, Stripes(4, 3, 4));
  gif.Raw({0x00, 0x7F});
  gif.Trailer();
  Conversion c = ConvertGif(gif, "reader_trailer_then_images");

  ExpectedMovie m;
  m.frameCount = 4;
  m.stageXmaxTwips = kMinStage;
  m.stageYmaxTwips = kMinStage;
  ExpectFrame(m, 1, 0, 0, 8, 6, 4, false);
  ExpectShows(m, 1);
  ExpectFrame(m, 3, 2, 1, 4, 3, 4, false);
  m.Add(ExpectStop());
  ExpectShows(m, 3);
  EXPECT_TRUE(MatchesExpectation(c, m));
  EXPECT_EQ(c.progress.FramesCounted(), 2);
}

// Without the transparency flag the index byte is skipped, while delay and
// disposal still count; with the flag the index becomes transparent.
TEST(GifReader, GraphicControlWithAndWithoutTransparencyFlag) {
  GifBuilder gif(8, 6, {{10, 20, 30}, {40, 50, 60}, {70, 80, 90}, {1, 2, 3}});
  gif.Raw({0x21, 0xF9, 4, 3 << 2, 20, 0, 1, 0});  // disposal 3, delay 20, index 1, no flag
  gif.Image(ImageDescriptor{0, 0, 4, 4}, Stripes(4, 4, 4));
  gif.Raw({0x21, 0xF9, 4, 0x01, 0, 0, 1, 0});  // flag set, index 1
  gif.Image(ImageDescriptor{4, 2, 4, 4}, Stripes(4, 4, 4));
  gif.Trailer();
  Conversion c = ConvertGif(gif, "reader_gce_flag");

  ExpectedMovie m;
  m.frameCount = 3;
  ExpectFrame(m, 1, 0, 0, 4, 4, 4, false);
  ExpectShows(m, 2);
  m.Add(ExpectRemove(2, 1));
  ExpectFrame(m, 3, 4, 2, 4, 4, 4, true);
  m.Add(ExpectStop());
  ExpectShows(m, 1);
  ASSERT_TRUE(MatchesExpectation(c, m));

  std::vector<const SwfTag*> bitmaps = TagsOf(c.movie, kDefineBitsLossless);
  ASSERT_EQ(bitmaps.size(), 1u);
  EXPECT_EQ(SplitBitmapData(*bitmaps[0]).table, (std::vector<uint8_t>{10, 20, 30, 40, 50, 60, 70, 80, 90, 1, 2, 3}));
  std::vector<const SwfTag*> alpha = TagsOf(c.movie, kDefineBitsLossless2);
  ASSERT_EQ(alpha.size(), 1u);
  EXPECT_EQ(SplitBitmapData(*alpha[0]).table,
            (std::vector<uint8_t>{10, 20, 30, 255, 0, 0, 0, 0, 70, 80, 90, 255, 1, 2, 3, 255}));
}

TEST(GifReader, LoopCountComesOnlyFromTheNetscapeExtension) {
  struct Case {
    const char* name;
    void (*extensions)(GifBuilder&);
    int loopCount;
    const char* script;  // "" for none
  };
  const Case cases[] = {
      {"reader_loop_none", [](GifBuilder&) {}, -1, "stop"},
      {"reader_loop_zero", [](GifBuilder& g) { g.NetscapeLoop(0); }, 0, ""},
      {"reader_loop_seven", [](GifBuilder& g) { g.NetscapeLoop(7); }, 7, "loop:7"},
      {"reader_loop_other_app",
       [](GifBuilder& g) { g.Application("ANIMEXTS1.0", {1, 5, 0}); }, -1, "stop"},
      {"reader_loop_odd_app",
       [](GifBuilder& g) {
         // Identifier of another length, then data that looks like blocks.
         g.Raw({0x21, 0xFF, 3, 'N', 'E', 'T', 3, 0x2C, 0x21, 0x3B, 0});
         g.Application("XMP DataXMP", {0x2C, 0x21, 0xF9, 0x04, 0x00});
       },
       -1, "stop"},
      {"reader_loop_kept_after_other_app",
       [](GifBuilder& g) {
         g.NetscapeLoop(4);
         g.Application("ANIMEXTS1.0", {1, 9, 0});
         g.Comment("NETSCAPE2.0");
       },
       4, "loop:4"},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    GifBuilder gif(6, 6, Palette(2));
    k.extensions(gif);
    gif.Image(ImageDescriptor{0, 0, 6, 6}, Stripes(6, 6, 2));
    gif.Trailer();
    Conversion c = ConvertGif(gif, k.name);
    ExpectedMovie m;
    m.frameCount = 1;
    ExpectFrame(m, 1, 0, 0, 6, 6, 2, false);
    if (std::string(k.script) == "stop") m.Add(ExpectStop());
    if (k.loopCount > 0) m.Add(ExpectLoopLimit(static_cast<unsigned>(k.loopCount)));
    ExpectShows(m, 1);
    EXPECT_TRUE(MatchesExpectation(c, m));
  }
}

// An image as large as the screen is fine; one pixel more in either
// direction ends the pass: earlier frames stay, no frame counts as the last
// one, so no loop script is written.
TEST(GifReader, FrameLargerThanTheScreenEndsThePass) {
  for (int extra = 0; extra < 3; ++extra) {
    SCOPED_TRACE(extra);
    const int width = 10 + (extra == 1), height = 8 + (extra == 2);
    GifBuilder gif(10, 8, Palette(4));
    gif.GraphicControl(20, 0);
    gif.Image(ImageDescriptor{0, 0, 10, 8}, Stripes(10, 8, 4));
    gif.Image(ImageDescriptor{0, 0, width, height}, Stripes(width, height, 3));
    gif.Image(ImageDescriptor{1, 1, 4, 4}, Stripes(4, 4, 4));
    gif.Trailer();
    Conversion c = ConvertGif(gif, "reader_screen_size_" + std::to_string(extra));

    ExpectedMovie m;
    ExpectFrame(m, 1, 0, 0, 10, 8, 4, false);
    ExpectShows(m, 2);
    if (extra == 0) {
      m.frameCount = 4;
      ExpectFrame(m, 3, 0, 0, 10, 8, 4, false);
      ExpectShows(m, 1);
      ExpectFrame(m, 5, 1, 1, 4, 4, 4, false);
      m.Add(ExpectStop());
      ExpectShows(m, 1);
    } else {
      m.frameCount = 2;
    }
    EXPECT_TRUE(MatchesExpectation(c, m));
    EXPECT_EQ(c.progress.FramesCounted(), extra == 0 ? 3 : 1);
    EXPECT_EQ(c.progress.Count(ID_FRAME_DONE), extra == 0 ? 3 : 1);
  }
}

TEST(GifReader, LocalTableServesOnlyItsOwnFrame) {
  const std::vector<Rgb> global = {{1, 1, 1}, {2, 2, 2}, {3, 3, 3}, {4, 4, 4}};
  std::vector<Rgb> local = Palette(8);
  GifBuilder gif(8, 8, global);
  gif.Image(ImageDescriptor(0, 0, 8, 8, false, local), Stripes(8, 8, 8));
  gif.Image(ImageDescriptor{0, 0, 8, 8}, Stripes(8, 8, 4));
  gif.Trailer();
  Conversion c = ConvertGif(gif, "reader_local_then_global");

  ExpectedMovie m;
  ExpectFrame(m, 1, 0, 0, 8, 8, 8, false);
  ExpectShows(m, 1);
  ExpectFrame(m, 3, 0, 0, 8, 8, 4, false);
  m.Add(ExpectStop());
  ExpectShows(m, 1);
  ASSERT_TRUE(MatchesExpectation(c, m));
  std::vector<const SwfTag*> bitmaps = TagsOf(c.movie, kDefineBitsLossless);
  ASSERT_EQ(bitmaps.size(), 2u);
  EXPECT_EQ(SplitBitmapData(*bitmaps[0]).table, RgbBytes(local));
  EXPECT_EQ(SplitBitmapData(*bitmaps[1]).table, RgbBytes(global));
}

TEST(GifReader, BackgroundColourAndProtect) {
  const std::vector<Rgb> table = {{0, 0, 0}, {9, 9, 9}, {0x12, 0x34, 0x56}, {7, 7, 7}};
  struct Case {
    const char* name;
    bool globalTable;
    int backgroundIndex;
    int useGifBackground, protect;
    int64_t tag;  // colour of the SetBackgroundColor tag, -1 for none
    uint32_t reported;
  };
  const Case cases[] = {
      {"reader_bg_on", true, 2, 1, 0, 0x123456, 0x123456},
      {"reader_bg_on_protect", true, 2, 1, 1, 0x123456, 0x123456},
      {"reader_bg_off_protect", true, 2, 0, 1, -1, 0xFFFFFF},
      {"reader_bg_no_global_table", false, 2, 1, 0, 0x000000, 0x000000},
      {"reader_bg_index_past_table", true, 9, 1, 0, 0x000000, 0x000000},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    GifBuilder gif(6, 4, k.globalTable ? table : std::vector<Rgb>{}, k.backgroundIndex);
    gif.Image(ImageDescriptor(0, 0, 6, 4, false, k.globalTable ? std::vector<Rgb>{} : table), Stripes(6, 4, 4));
    gif.Trailer();
    ConversionOptions o;
    o.useGifBackground = k.useGifBackground;
    o.protect = k.protect;
    o.writeHtml = 1;  // the page shows the colour the job settled on
    Conversion c = ConvertGif(gif, k.name, o);

    ExpectedMovie m;
    if (k.tag >= 0) m.Add(ExpectBackground(static_cast<uint32_t>(k.tag)));
    if (k.protect) m.Add(ExpectProtect());
    ExpectFrame(m, 1, 0, 0, 6, 4, 4, false);
    m.Add(ExpectStop());
    ExpectShows(m, 1);
    EXPECT_TRUE(MatchesExpectation(c, m));
    char colour[32];
    std::snprintf(colour, sizeof colour, "bgcolor=#%06X ", static_cast<unsigned>(k.reported));
    Bytes page = ReadFileBytes(c.moviePath.substr(0, c.moviePath.size() - 4) + ".htm");
    EXPECT_NE(std::string(page.begin(), page.end()).find(colour), std::string::npos) << colour;
  }
}

// Codes 4 1 6 2 (3 bits each) and the end code 5 (4 bits) fill exactly the
// two bytes 8C 55 of the only data sub-block: pixels 1 1 1 2. The image after
// it must keep what its graphic control extension says: delay,
// transparency, position.
TEST(GifReader, EndCodeAtTheEndOfTheLastSubBlock) {
  GifBuilder gif(8, 4, Palette(4));
  gif.ImageFromRawData(ImageDescriptor{0, 0, 4, 1}, {0x02, 0x02, 0x8C, 0x55, 0x00});
  gif.GraphicControl(30, 0, 2);
  gif.Image(ImageDescriptor{3, 2, 4, 2}, Stripes(4, 2, 4));
  gif.Trailer();
  Conversion c = ConvertGif(gif, "reader_end_code_at_block_end");

  ExpectedMovie m;
  m.frameCount = 4;
  ExpectFrame(m, 1, 0, 0, 4, 1, 4, false);
  ExpectShows(m, 1);
  ExpectFrame(m, 3, 3, 2, 4, 2, 4, true);
  m.Add(ExpectStop());
  ExpectShows(m, 3);
  ASSERT_TRUE(MatchesExpectation(c, m));
  std::vector<const SwfTag*> bitmaps = TagsOf(c.movie, kDefineBitsLossless);
  ASSERT_EQ(bitmaps.size(), 1u);
  std::vector<uint8_t> data = BitmapData(*bitmaps[0]);
  ASSERT_EQ(data.size(), 12u + 4u);
  EXPECT_EQ(std::vector<uint8_t>(data.begin() + 12, data.end()), (std::vector<uint8_t>{1, 1, 1, 2}));
  EXPECT_EQ(c.progress.FramesCounted(), 2);
}

// Bytes after the end code, in its own sub-block and in further ones, look
// like block starts (0x00, 0x21, 0x2C, 0x3B); the reader must step over them.
TEST(GifReader, DataAfterTheEndCodeDoesNotDerailTheReader) {
  GifBuilder gif(8, 4, Palette(4));
  gif.ImageFromRawData(ImageDescriptor{0, 0, 4, 1},
                       {0x02,                                                  // minimum code size
                        7, 0x8C, 0x55, 0x00, 0x21, 0x2C, 0x3B, 0x00,            // end code, then junk
                        5, 0x2C, 0x21, 0xF9, 0x04, 0x00,                       // a whole junk block
                        0x00});
  gif.GraphicControl(40, 0, 3);
  gif.Image(ImageDescriptor{1, 1, 5, 2}, Stripes(5, 2, 4));
  gif.Trailer();
  Conversion c = ConvertGif(gif, "reader_junk_after_end_code");

  ExpectedMovie m;
  m.frameCount = 5;
  ExpectFrame(m, 1, 0, 0, 4, 1, 4, false);
  ExpectShows(m, 1);
  ExpectFrame(m, 3, 1, 1, 5, 2, 4, true);
  m.Add(ExpectStop());
  ExpectShows(m, 4);
  ASSERT_TRUE(MatchesExpectation(c, m));
  std::vector<const SwfTag*> alpha = TagsOf(c.movie, kDefineBitsLossless2);
  ASSERT_EQ(alpha.size(), 1u);
  std::vector<uint8_t> data = BitmapData(*alpha[0]);
  ASSERT_EQ(data.size(), 16u + 16u);
  // Entry 3 transparent; rows of Stripes(5, 2, 4), padded to 8 bytes.
  EXPECT_EQ(std::vector<uint8_t>(data.begin() + 12, data.begin() + 16), (std::vector<uint8_t>{0, 0, 0, 0}));
  EXPECT_EQ(std::vector<uint8_t>(data.begin() + 16, data.end()),
            (std::vector<uint8_t>{0, 1, 2, 3, 0, 0, 0, 0, 2, 3, 0, 1, 2, 0, 0, 0}));
}

}  // namespace
