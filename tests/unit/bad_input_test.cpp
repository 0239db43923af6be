// Damaged and unusual GIF files: each must convert to a well-formed movie
// (or, where no movie can be complete, to none), never crash, hang or touch
// memory outside its buffers. Run under the sanitizer build as well.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "support/body_capture.h"
#include "support/gif_builder.h"
#include "support/gif_convert.h"
#include "support/temp_folder.h"

#if !defined(_WIN32)
#include <sys/resource.h>
#include <unistd.h>
#endif

using gifbuild::GifBuilder;
using gifbuild::ImageDescriptor;
using gifbuild::LzwOptions;
using gifbuild::Rgb;
using Bytes = std::vector<uint8_t>;

namespace {

// A frame with nothing on the screen: one transparent pixel at the origin.
const Bytes kEmptyFrameData = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};

TEST(BadInput, ImageRectanglePastTheScreenIsClipped) {
  GifBuilder gif(8, 6, Palette(4));
  Bytes px = Stripes(6, 4, 4);
  gif.Image(ImageDescriptor{5, 4, 6, 4}, px);                  // 3 x 2 of it on the screen
  gif.Image(ImageDescriptor{20, 30, 4, 4}, Stripes(4, 4, 4));  // none of it
  gif.Image(ImageDescriptor{8, 0, 1, 1}, {1});                 // just right of the screen
  gif.Image(ImageDescriptor{1, 1, 2, 2}, {1, 2, 3, 0});
  gif.Trailer();
  Conversion c = ConvertGif(gif, "bad_image_past_screen");
  ExpectedMovie m;
  m.frameCount = 4;
  ExpectFrame(m, 1, 5, 4, 3, 2, 4, false);
  ExpectShows(m, 1);
  ExpectFrame(m, 3, 0, 0, 1, 1, 2, true);
  ExpectShows(m, 1);
  ExpectFrame(m, 5, 0, 0, 1, 1, 2, true);
  ExpectShows(m, 1);
  ExpectFrame(m, 7, 1, 1, 2, 2, 4, false);
  m.Add(ExpectStop());
  ExpectShows(m, 1);
  ASSERT_TRUE(MatchesExpectation(c, m));
  std::vector<const SwfTag*> b = Bitmaps(c.movie);
  ASSERT_EQ(b.size(), 4u);
  EXPECT_EQ(SplitBitmapData(*b[0]).rows, (Bytes{px[0], px[1], px[2], 0, px[6], px[7], px[8], 0}));
  EXPECT_EQ(BitmapData(*b[1]), kEmptyFrameData);
  EXPECT_EQ(BitmapData(*b[2]), kEmptyFrameData);
  EXPECT_EQ(SplitBitmapData(*b[3]).rows, (Bytes{1, 2, 0, 0, 3, 0, 0, 0}));
}

TEST(BadInput, WidthOrHeightZero) {
  GifBuilder gif(8, 6, Palette(4));
  gif.GraphicControl(20, 0);
  gif.ImageFromRawData(ImageDescriptor{2, 2, 0, 5}, {0x02, 0x02, 0x4C, 0x01, 0x00});
  gif.ImageFromRawData(ImageDescriptor{2, 2, 5, 0}, {0x02, 0x00});
  gif.ImageFromRawData(ImageDescriptor{0, 0, 0, 0}, {0x02, 0x00});
  gif.Image(ImageDescriptor{1, 1, 2, 1}, {3, 1});
  gif.Trailer();
  Conversion c = ConvertGif(gif, "bad_zero_size");
  ExpectedMovie m;
  m.frameCount = 5;
  ExpectFrame(m, 1, 0, 0, 1, 1, 2, true);
  ExpectShows(m, 2);
  ExpectFrame(m, 3, 0, 0, 1, 1, 2, true);
  ExpectShows(m, 1);
  ExpectFrame(m, 5, 0, 0, 1, 1, 2, true);
  ExpectShows(m, 1);
  ExpectFrame(m, 7, 1, 1, 2, 1, 4, false);
  m.Add(ExpectStop());
  ExpectShows(m, 1);
  ASSERT_TRUE(MatchesExpectation(c, m));
  for (int i = 0; i < 3; ++i) EXPECT_EQ(BitmapData(*Bitmaps(c.movie)[i]), kEmptyFrameData) << i;
}

// Code sizes the 12-bit table cannot serve: the frame takes its fill index
// (the first transparent index, else 0) and the next image is read normally.
TEST(BadInput, MinimumCodeSizeAboveEleven) {
  GifBuilder gif(4, 2, Palette(4));
  gif.ImageFromRawData(ImageDescriptor{0, 0, 4, 2}, {12, 3, 0xFF, 0x2C, 0x21, 0x00});
  gif.GraphicControl(0, 0, 2);
  gif.ImageFromRawData(ImageDescriptor{0, 0, 4, 2}, {255, 1, 0x3B, 0x00});
  gif.Image(ImageDescriptor{0, 0, 4, 2}, {1, 2, 3, 0, 0, 3, 2, 1});
  gif.Trailer();
  Conversion c = ConvertGif(gif, "bad_code_size");
  ExpectedMovie m;
  ExpectFrame(m, 1, 0, 0, 4, 2, 4, false);
  ExpectShows(m, 1);
  ExpectFrame(m, 3, 0, 0, 4, 2, 4, true);
  ExpectShows(m, 1);
  ExpectFrame(m, 5, 0, 0, 4, 2, 4, false);
  m.Add(ExpectStop());
  ExpectShows(m, 1);
  ASSERT_TRUE(MatchesExpectation(c, m));
  std::vector<const SwfTag*> b = Bitmaps(c.movie);
  EXPECT_EQ(SplitBitmapData(*b[0]).rows, Bytes(8, 0));
  EXPECT_EQ(SplitBitmapData(*b[1]).rows, Bytes(8, 2));
  EXPECT_EQ(SplitBitmapData(*b[2]).rows, (Bytes{1, 2, 3, 0, 0, 3, 2, 1}));
}

// The file ends inside the image data: what was decoded stays, the rest of
// the frame takes the transparent index 3.
TEST(BadInput, DataCutOffByTheEndOfTheFile) {
  const Bytes px = Stripes(16, 8, 3);  // no index 3 in the picture
  for (int cut = 0; cut < 3; ++cut) {
    SCOPED_TRACE(cut);
    GifBuilder gif(16, 8, Palette(4));
    gif.NetscapeLoop(0);
    gif.GraphicControl(0, 0, 3);
    LzwOptions o;
    o.maxSubBlock = 4;
    o.truncateDataBytes = 10 + 2 * cut;
    o.omitTerminator = true;
    gif.Image(ImageDescriptor{0, 0, 16, 8}, px, o);
    Bytes bytes = gif.Bytes();
    if (cut == 2) bytes.resize(bytes.size() - 2);  // inside a sub-block, whose length promises more
    const std::string name = "bad_cut_data_" + std::to_string(cut);
    std::string gifPath = FreshFolder(name) + "/cut.gif";
    ASSERT_TRUE(gifbuild::WriteFileBytes(gifPath, bytes));
    Conversion c = ConvertGifFile(gifPath, name);
    ExpectedMovie m;
    ExpectFrame(m, 1, 0, 0, 16, 8, 4, true);
    ExpectShows(m, 1);
    ASSERT_TRUE(MatchesExpectation(c, m));
    Bytes rows = SplitBitmapData(*Bitmaps(c.movie).at(0)).rows;
    ASSERT_EQ(rows.size(), px.size());
    size_t decoded = std::find(rows.begin(), rows.end(), 3) - rows.begin();
    EXPECT_GT(decoded, 0u);
    EXPECT_LT(decoded, px.size());
    EXPECT_TRUE(std::equal(rows.begin(), rows.begin() + decoded, px.begin()));
    EXPECT_TRUE(std::all_of(rows.begin() + decoded, rows.end(), [](uint8_t v) { return v == 3; }));
  }
}

TEST(BadInput, TransparentIndexPastTheColourTable) {
  for (int border = 0; border < 2; ++border) {
    SCOPED_TRACE(border);
    GifBuilder gif(8, 6, Palette(4));
    gif.GraphicControl(0, 0, 9);
    gif.Image(ImageDescriptor{2, 2, 2, 2}, {0, 1, 2, 3});
    gif.Trailer();
    ConversionOptions o;
    o.borderCorrection = border;
    Conversion c = ConvertGif(gif, border ? "bad_transparent_past_table_border" : "bad_transparent_past_table", o);
    ExpectedMovie m;
    if (border)
      ExpectFrame(m, 1, 1, 1, 4, 4, 10, true);
    else
      ExpectFrame(m, 1, 2, 2, 2, 2, 10, true);
    m.Add(ExpectStop());
    ExpectShows(m, 1);
    ASSERT_TRUE(MatchesExpectation(c, m));
    BitmapParts d = SplitBitmapData(*Bitmaps(c.movie).at(0));
    ASSERT_EQ(d.table.size(), 40u);
    const std::vector<Rgb> p = Palette(4);
    for (int i = 0; i < 4; ++i)
      EXPECT_EQ(Bytes(d.table.begin() + 4 * i, d.table.begin() + 4 * i + 4), (Bytes{p[i].r, p[i].g, p[i].b, 255}));
    for (int i = 4; i < 9; ++i)
      EXPECT_EQ(Bytes(d.table.begin() + 4 * i, d.table.begin() + 4 * i + 4), (Bytes{0, 0, 0, 255})) << i;
    EXPECT_EQ(Bytes(d.table.begin() + 36, d.table.end()), (Bytes{0, 0, 0, 0}));
    if (border) {
      EXPECT_EQ(d.rows, (Bytes{9, 9, 9, 9, 9, 0, 1, 9, 9, 2, 3, 9, 9, 9, 9, 9}));
    }
  }
}

// 300 graphic control extensions before one image: every index at most
// once; the list is for that image only.
TEST(BadInput, MoreThan256TransparentIndices) {
  GifBuilder gif(4, 4, Palette(4));
  for (int i = 0; i < 300; ++i) gif.GraphicControl(i, i % 4, i % 256);
  gif.Image(ImageDescriptor{0, 0, 4, 4}, Stripes(4, 4, 4));
  for (int i = 0; i < 300; ++i) gif.GraphicControl(7, 0, 1);
  gif.Image(ImageDescriptor{0, 0, 4, 4}, Stripes(4, 4, 4));
  gif.Image(ImageDescriptor{0, 0, 4, 4}, Stripes(4, 4, 4));
  gif.Trailer();
  Conversion c = ConvertGif(gif, "bad_many_transparent");
  ExpectedMovie m;
  ExpectFrame(m, 1, 0, 0, 4, 4, 256, true);
  ExpectShows(m, 29);  // the last extension: delay 299, disposal 3
  m.Add(ExpectRemove(2, 1));
  ExpectFrame(m, 3, 0, 0, 4, 4, 4, true);
  ExpectShows(m, 1);
  ExpectFrame(m, 5, 0, 0, 4, 4, 4, false);
  m.Add(ExpectStop());
  ExpectShows(m, 1);
  ASSERT_TRUE(MatchesExpectation(c, m));
  std::vector<const SwfTag*> b = Bitmaps(c.movie);
  EXPECT_EQ(SplitBitmapData(*b[0]).table, Bytes(1024, 0));
  Bytes second = SplitBitmapData(*b[1]).table;
  ASSERT_EQ(second.size(), 16u);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(second[4 * i + 3], i == 1 ? 0 : 255) << i;
}

// Neither a global nor a local table: the indices show as grey levels.
TEST(BadInput, NoColourTableAtAll) {
  GifBuilder gif(6, 4, {}, 7);
  gif.Image(ImageDescriptor{0, 0, 6, 4}, Stripes(6, 4, 200));
  gif.Image(ImageDescriptor{1, 1, 2, 2}, {250, 251, 252, 253});
  gif.Trailer();
  ConversionOptions o;
  o.borderCorrection = 1;  // no free index in 256 entries: no border
  o.useGifBackground = 1;
  Conversion c = ConvertGif(gif, "bad_no_colour_table", o);
  ExpectedMovie m;
  m.Add(ExpectBackground(0x000000));
  ExpectFrame(m, 1, 0, 0, 6, 4, 256, false);
  ExpectShows(m, 1);
  ExpectFrame(m, 3, 1, 1, 2, 2, 256, false);
  m.Add(ExpectStop());
  ExpectShows(m, 1);
  ASSERT_TRUE(MatchesExpectation(c, m));
  Bytes grey;
  for (int i = 0; i < 256; ++i) grey.insert(grey.end(), 3, static_cast<uint8_t>(i));
  for (const SwfTag* t : Bitmaps(c.movie)) EXPECT_EQ(SplitBitmapData(*t).table, grey);
  EXPECT_EQ(SplitBitmapData(*Bitmaps(c.movie)[1]).rows, (Bytes{250, 251, 0, 0, 252, 253, 0, 0}));
}

// Cropping finds nothing that differs: the top-left pixel stays.
TEST(BadInput, FullyBlankCroppedFrame) {
  GifBuilder gif(12, 9, Palette(4), 3);
  gif.Image(ImageDescriptor{0, 0, 12, 9}, Solid(12, 9, 3));
  gif.Image(ImageDescriptor{0, 0, 12, 9}, Solid(12, 9, 1));
  gif.Trailer();
  ConversionOptions o;
  o.optimiseCanvas = 1;
  Conversion c = ConvertGif(gif, "bad_blank_crop", o);  // no reference: every line is one colour
  ExpectedMovie m;
  ExpectFrame(m, 1, 0, 0, 1, 1, 4, false);
  ExpectShows(m, 1);
  ExpectFrame(m, 3, 0, 0, 1, 1, 4, false);
  m.Add(ExpectStop());
  ExpectShows(m, 1);
  ASSERT_TRUE(MatchesExpectation(c, m));
  EXPECT_EQ(SplitBitmapData(*Bitmaps(c.movie)[0]).rows, (Bytes{3, 0, 0, 0}));
  EXPECT_EQ(SplitBitmapData(*Bitmaps(c.movie)[1]).rows, (Bytes{1, 0, 0, 0}));

  o.borderCorrection = 1;
  o.useGifBackground = 1;  // background index 3 as the reference
  Conversion b = ConvertGif(gif, "bad_blank_crop_border", o);
  const Rgb bg = Palette(4)[3];
  ExpectedMovie n;
  n.Add(ExpectBackground(Rgb24(bg)));
  ExpectFrame(n, 1, -1, -1, 3, 3, 5, true);
  ExpectShows(n, 1);
  ExpectFrame(n, 3, -1, -1, 14, 11, 5, true);
  n.Add(ExpectStop());
  ExpectShows(n, 1);
  EXPECT_TRUE(MatchesExpectation(b, n));
}

// 65535 x 65535 is refused like a failed allocation: the pass ends at the
// first image, and the movie has no frame.
TEST(BadInput, ScreenTooLargeToAllocate) {
  GifBuilder gif(65535, 65535, Palette(2));
  gif.Image(ImageDescriptor{0, 0, 1, 1}, {1});
  gif.Trailer();
  ConversionOptions o;
  o.useGifBackground = 1;
  Conversion c = ConvertGif(gif, "bad_huge_screen", o);
  ExpectedMovie m;
  m.frameCount = 0;
  m.stageXmaxTwips = 18 * 20;
  m.Add(ExpectBackground(Rgb24(Palette(2)[0])));
  EXPECT_TRUE(MatchesExpectation(c, m));
  EXPECT_EQ(c.progress.FramesCounted(), 0);
  EXPECT_EQ(c.result.status, ConversionStatus::kConverted);
  EXPECT_EQ(c.result.sourceEnd, SourceEnd::kScreenTooLarge);
  EXPECT_EQ(c.result.path, c.moviePath);
}

// An image wider than the screen ends the GIF there: the movie keeps the
// frames before it, and the result says why it has no more.
TEST(BadInput, ImageLargerThanScreenIsTold) {
  GifBuilder gif(8, 6, Palette(4));
  gif.Image(ImageDescriptor{0, 0, 8, 6}, std::vector<uint8_t>(48, 1));
  gif.Image(ImageDescriptor{0, 0, 9, 6}, std::vector<uint8_t>(54, 2));
  gif.Trailer();
  ConversionOptions o;
  o.writeHtml = 1;
  Conversion c = ConvertGif(gif, "bad_wide_image", o);
  EXPECT_EQ(c.result.status, ConversionStatus::kConverted);
  EXPECT_EQ(c.result.sourceEnd, SourceEnd::kImageTooLarge);
  EXPECT_EQ(c.result.path, c.moviePath);
  EXPECT_EQ(c.progress.FramesCounted(), 1);
  EXPECT_TRUE(c.movie.ok);
}

#if !defined(_WIN32) && !defined(__SANITIZE_ADDRESS__)
// Bytes of address space the process uses now.
size_t AddressSpaceInUse() {
  FILE* f = std::fopen("/proc/self/statm", "r");
  unsigned long pages = 0;
  if (f) {
    if (std::fscanf(f, "%lu", &pages) != 1) pages = 0;
    std::fclose(f);
  }
  return static_cast<size_t>(pages) * static_cast<size_t>(sysconf(_SC_PAGESIZE));
}

// With room for the screen buffer but not for a frame bitmap as large, the
// movie cannot be complete: no movie is written and the job fails. Runs in a
// child process whose address space is limited.
TEST(BadInputDeathTest, BitmapThatCannotBeAllocated) {
  const int side = 12000;  // 144 MB of screen, and as much again for the bitmap
  GifBuilder gif(side, side, Palette(2));
  gif.ImageFromRawData(ImageDescriptor{0, 0, side, side}, {12, 0});  // no usable data: all fill
  gif.Trailer();
  const std::string dir = FreshFolder("bad_no_memory");
  const std::string gifPath = dir + "/big.gif";
  const std::string moviePath = dir + "/big.swf";
  ASSERT_TRUE(gif.Save(gifPath));
  auto convert = [&] {
    const size_t screen = static_cast<size_t>(side) * side;
    rlimit limit{};
    limit.rlim_cur = limit.rlim_max = AddressSpaceInUse() + screen + (64u << 20);
    if (setrlimit(RLIMIT_AS, &limit) != 0) std::_Exit(3);
    ConversionResult r = ConvertFile(gifPath.c_str(), moviePath.c_str(), ConversionOptions(), nullptr);
    std::_Exit(r.status == ConversionStatus::kMovieNotWritable && !FileExists(moviePath) ? 0 : 1);
  };
  EXPECT_EXIT(convert(), ::testing::ExitedWithCode(0), "");
}
#endif

// A frame of the largest width with a border would be 65537 pixels wide,
// more than a bitmap can be: it goes without the border.
TEST(BadInput, WidestFrameWithBorder) {
  GifBuilder gif(65535, 1, Palette(2));
  gif.Image(ImageDescriptor{0, 0, 65535, 1}, Stripes(65535, 1, 2));
  gif.Image(ImageDescriptor{0, 0, 3, 1}, {1, 0, 1});
  gif.Trailer();
  ConversionOptions o;
  o.borderCorrection = 1;
  std::string gifPath = FreshFolder("bad_widest_border") + "/wide.gif";
  ASSERT_TRUE(gif.Save(gifPath));
  Conversion c = ConvertGifFile(gifPath, "bad_widest_border", o);
  ExpectedMovie m;
  ExpectFrame(m, 1, 0, 0, 65535, 1, 3, true);
  ExpectShows(m, 1);
  ExpectFrame(m, 3, -1, -1, 5, 3, 3, true);
  m.Add(ExpectStop());
  ExpectShows(m, 1);
  EXPECT_TRUE(MatchesExpectation(c, m));
}

// The first n bytes of a file (none at all included).
bool WritePrefix(const std::string& path, const Bytes& bytes, size_t n) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = n == 0 || std::fwrite(bytes.data(), 1, n, f) == n;
  return std::fclose(f) == 0 && ok;
}

// Every prefix of a small animation converts to a well-formed movie with one
// bitmap for every image whose descriptor is complete in the prefix.
TEST(BadInput, TruncatedAtEveryByte) {
  GifBuilder gif(10, 7, Palette(8), 2);
  gif.NetscapeLoop(2);
  gif.Comment("made for cutting");
  gif.GraphicControl(20, 2, 5);
  gif.Image(ImageDescriptor{0, 0, 10, 7}, Stripes(10, 7, 8));
  gif.GraphicControl(10, 3);
  LzwOptions small;
  small.maxSubBlock = 3;
  gif.Image(ImageDescriptor(2, 1, 5, 4, true, Palette(4)), Stripes(5, 4, 4), small);
  gif.GraphicControl(30, 1, 0);
  gif.Image(ImageDescriptor{1, 2, 9, 5}, Stripes(9, 5, 8));
  gif.Trailer();
  const Bytes full = gif.Bytes();
  ASSERT_LT(full.size(), 400u);
  const std::string dir = FreshFolder("bad_truncated");
  const std::string gifPath = dir + "/cut.gif";
  const std::string moviePath = dir + "/cut.swf";
  for (int option = 0; option < 2; ++option) {
    ConversionOptions o;
    o.borderCorrection = option;
    o.optimiseCanvas = option;
    o.useGifBackground = option;
    for (size_t n = 0; n <= full.size(); ++n) {
      SCOPED_TRACE(std::to_string(n) + " bytes, options " + std::to_string(option));
      ASSERT_TRUE(WritePrefix(gifPath, full, n));
      if (n < 3) std::remove(moviePath.c_str());
      ConversionResult r = ConvertFile(gifPath.c_str(), moviePath.c_str(), o, nullptr);
      if (n < 3) {  // not even the signature: no movie
        ASSERT_EQ(r.status, ConversionStatus::kNotGif);
        ASSERT_FALSE(FileExists(moviePath));
        continue;
      }
      ASSERT_EQ(r.status, ConversionStatus::kConverted);
      SwfMovie movie = ParseMovieFile(moviePath);
      ASSERT_TRUE(movie.ok);
      size_t images = 0;
      for (const gifbuild::ImageInfo& i : gif.Images())
        if (i.descriptorOffset + 10 <= n) ++images;
      EXPECT_EQ(Bitmaps(movie).size(), images);
      EXPECT_EQ(static_cast<int>(TagsOf(movie, kShowFrame).size()), movie.frameCount);
      // Frame 1 is restored to the background: one rectangle more.
      EXPECT_EQ(TagsOf(movie, kDefineShape).size(), images + (images > 0 ? 1 : 0));
    }
  }
  // The whole file once more, with its expectation.
  Conversion c = ConvertGifFile(gifPath, "bad_truncated_whole");
  ExpectedMovie m;
  m.frameCount = 6;
  ExpectFrame(m, 1, 0, 0, 10, 7, 8, true);
  ExpectShows(m, 2);
  m.Add(ExpectSolidShape(4, TwipRect{0, 0, 200, 140}, 0xFFFFFF));
  m.Add(ExpectPlace(3, 4));
  ExpectFrame(m, 5, 2, 1, 5, 4, 4, false);
  ExpectShows(m, 1);
  m.Add(ExpectRemove(6, 5));
  ExpectFrame(m, 7, 1, 2, 9, 5, 8, true);
  m.Add(ExpectLoopLimit(2));
  ExpectShows(m, 3);
  EXPECT_TRUE(MatchesExpectation(c, m));
}

}  // namespace
