// Cutting frames out of the screen buffer: row padding, colour tables,
// borders, cropping of full-screen frames and the rectangle shape; then the
// same through whole conversions, checked in the inflated bitmap data.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "movie/frame_bitmap.h"
#include "support/gif_builder.h"
#include "support/gif_convert.h"
#include "swf/geometry.h"

using gifbuild::GifBuilder;
using gifbuild::ImageDescriptor;
using gifbuild::Rgb;
using Bytes = std::vector<uint8_t>;

namespace {

// A screen buffer of exactly its size (so a stray read shows under ASan),
// with a colour table of entry i = (i, 2i, 3i).
struct Screen {
  int width, height, stride;
  Bytes pixels;
  uint8_t colours[256 * 3];
  uint8_t transparent[256] = {0};
  int transparentCount = 0;

  Screen(int w, int h, uint8_t fill = 0) : width(w), height(h), stride(w + RowPadding(w)) {
    pixels.assign(static_cast<size_t>(stride) * h, fill);
    for (int i = 0; i < 256; ++i) {
      colours[i * 3] = static_cast<uint8_t>(i);
      colours[i * 3 + 1] = static_cast<uint8_t>(2 * i);
      colours[i * 3 + 2] = static_cast<uint8_t>(3 * i);
    }
  }
  uint8_t& at(int x, int y) { return pixels[static_cast<size_t>(y) * stride + x]; }

  FrameSource Source(int left, int top, int w, int h, int numColours) const {
    FrameSource s;
    s.screen = pixels.data();
    s.screenStride = stride;
    s.screenWidth = width;
    s.screenHeight = height;
    s.colours = colours;
    s.numColours = numColours;
    s.transparent = transparent;
    s.transparentCount = transparentCount;
    s.left = left;
    s.top = top;
    s.width = w;
    s.height = h;
    return s;
  }
};

Bytes PixelsOf(const FrameBitmap& b) { return Bytes(b.pixels.get(), b.pixels.get() + b.pixelBytes); }
Bytes TableOf(const FrameBitmap& b) {
  return Bytes(b.colourTable, b.colourTable + b.numColours * b.colourEntrySize);
}

TEST(FrameBitmap, RowsArePaddedToMultiplesOfFour) {
  const int strides[] = {4, 4, 4, 4, 8};
  Screen s(5, 2);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 5; ++x) s.at(x, y) = static_cast<uint8_t>(10 * y + x + 1);
  for (int w = 1; w <= 5; ++w) {
    SCOPED_TRACE(w);
    FrameBitmap b;
    ASSERT_TRUE(BuildFrameBitmap(s.Source(0, 0, w, 2, 4), kNoReferenceIndex, 0, 0, 7, b));
    EXPECT_EQ(b.width, w);
    EXPECT_EQ(b.height, 2);
    EXPECT_EQ(b.characterId, 7);
    EXPECT_EQ(b.format, 3);
    Bytes want(static_cast<size_t>(strides[w - 1]) * 2, 0);
    for (int y = 0; y < 2; ++y)
      for (int x = 0; x < w; ++x) want[static_cast<size_t>(y) * strides[w - 1] + x] = static_cast<uint8_t>(10 * y + x + 1);
    EXPECT_EQ(PixelsOf(b), want);
  }
}

TEST(FrameBitmap, BorderOfTheFirstTransparentIndex) {
  Screen s(6, 3);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 6; ++x) s.at(x, y) = static_cast<uint8_t>(x + 1);
  s.transparent[0] = 9;
  s.transparent[1] = 2;
  s.transparentCount = 2;

  // 2 wide at (1, 1): 4 x 3 at (0, 0), rows of 4 bytes.
  FrameBitmap b;
  ASSERT_TRUE(BuildFrameBitmap(s.Source(1, 1, 2, 1, 8), kNoReferenceIndex, 0, 1, 1, b));
  EXPECT_EQ(b.width, 4);
  EXPECT_EQ(b.height, 3);
  EXPECT_EQ(b.left, 0);
  EXPECT_EQ(b.top, 0);
  EXPECT_EQ(PixelsOf(b), (Bytes{9, 9, 9, 9, 9, 2, 3, 9, 9, 9, 9, 9}));

  // 3 wide at the screen corner: 5 x 4 at (-1, -1), rows of 8 bytes.
  ASSERT_TRUE(BuildFrameBitmap(s.Source(0, 0, 3, 2, 8), kNoReferenceIndex, 0, 1, 1, b));
  EXPECT_EQ(b.width, 5);
  EXPECT_EQ(b.height, 4);
  EXPECT_EQ(b.left, -1);
  EXPECT_EQ(b.top, -1);
  EXPECT_EQ(PixelsOf(b), (Bytes{9, 9, 9, 9, 9, 0, 0, 0,  //
                                9, 1, 2, 3, 9, 0, 0, 0,  //
                                9, 1, 2, 3, 9, 0, 0, 0,  //
                                9, 9, 9, 9, 9, 0, 0, 0}));
  // Transparent index 9 lies past the 8 entries: the table grows to hold it.
  EXPECT_EQ(b.numColours, 10);
  EXPECT_EQ(b.colourEntrySize, 4);
}

TEST(FrameBitmap, ColourTables) {
  Screen s(4, 4);
  FrameBitmap b;
  ASSERT_TRUE(BuildFrameBitmap(s.Source(0, 0, 4, 4, 4), kNoReferenceIndex, 0, 0, 1, b));
  EXPECT_EQ(b.colourEntrySize, 3);
  EXPECT_EQ(TableOf(b), (Bytes{0, 0, 0, 1, 2, 3, 2, 4, 6, 3, 6, 9}));

  s.transparentCount = 1;  // index 0
  ASSERT_TRUE(BuildFrameBitmap(s.Source(0, 0, 4, 4, 4), kNoReferenceIndex, 0, 0, 1, b));
  EXPECT_EQ(b.colourEntrySize, 4);
  EXPECT_EQ(TableOf(b), (Bytes{0, 0, 0, 0, 1, 2, 3, 255, 2, 4, 6, 255, 3, 6, 9, 255}));

  // Past the table: black opaque entries up to the transparent one.
  s.transparent[0] = 6;
  ASSERT_TRUE(BuildFrameBitmap(s.Source(0, 0, 4, 4, 4), kNoReferenceIndex, 0, 0, 1, b));
  EXPECT_EQ(TableOf(b), (Bytes{0, 0, 0, 255, 1, 2, 3, 255, 2, 4, 6, 255, 3, 6, 9, 255,  //
                               0, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0, 0}));

  // Every index transparent.
  for (int i = 0; i < 256; ++i) s.transparent[i] = static_cast<uint8_t>(255 - i);
  s.transparentCount = 256;
  ASSERT_TRUE(BuildFrameBitmap(s.Source(0, 0, 4, 4, 256), kNoReferenceIndex, 0, 0, 1, b));
  EXPECT_EQ(b.numColours, 256);
  EXPECT_EQ(TableOf(b), Bytes(1024, 0));
}

TEST(FrameBitmap, EdgeScans) {
  Screen s(8, 5, 2);
  const uint8_t* p = s.pixels.data();
  s.at(7, 3) = 1;
  EXPECT_EQ(FindLeftEdge(p, s.stride, 8, 5, 2), 7);
  EXPECT_EQ(FindRightEdge(p, s.stride, 8, 5, 2), 7);
  EXPECT_EQ(FindTopEdge(p, s.stride, 8, 5, 2), 3);
  EXPECT_EQ(FindBottomEdge(p, s.stride, 8, 5, 2), 3);
  // Each scan looks only at the frame: a 7 x 3 frame does not see (7, 3).
  EXPECT_EQ(FindLeftEdge(p, s.stride, 7, 3, 2), -1);
  EXPECT_EQ(FindBottomEdge(p, s.stride, 7, 3, 2), -1);

  // Without a reference, lines of one colour are blank whatever the colour.
  Screen t(6, 4);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 6; ++x) t.at(x, y) = static_cast<uint8_t>(x);  // every column one colour
  const uint8_t* q = t.pixels.data();
  EXPECT_EQ(FindLeftEdge(q, t.stride, 6, 4, kNoReferenceIndex), -1);
  EXPECT_EQ(FindTopEdge(q, t.stride, 6, 4, kNoReferenceIndex), 0);
  EXPECT_EQ(FindBottomEdge(q, t.stride, 6, 4, kNoReferenceIndex), 3);
  t.at(4, 2) = 9;
  EXPECT_EQ(FindLeftEdge(q, t.stride, 6, 4, kNoReferenceIndex), 4);
  EXPECT_EQ(FindRightEdge(q, t.stride, 6, 4, kNoReferenceIndex), 4);

  // With a reference, a line of one other colour is not blank.
  Screen r(5, 4, 1);
  for (int x = 0; x < 5; ++x) r.at(x, 3) = 2;
  const uint8_t* u = r.pixels.data();
  EXPECT_EQ(FindTopEdge(u, r.stride, 5, 4, 1), 3);
  EXPECT_EQ(FindBottomEdge(u, r.stride, 5, 4, 1), 3);
  EXPECT_EQ(FindTopEdge(u, r.stride, 5, 4, kNoReferenceIndex), -1);
  Screen k(5, 4, 1);
  for (int y = 0; y < 4; ++y) k.at(1, y) = 2;
  const uint8_t* v = k.pixels.data();
  EXPECT_EQ(FindLeftEdge(v, k.stride, 5, 4, 1), 1);
  EXPECT_EQ(FindRightEdge(v, k.stride, 5, 4, 1), 1);
  EXPECT_EQ(FindRightEdge(v, k.stride, 5, 4, kNoReferenceIndex), -1);
}

// The column edges are found row by row; they must be the columns that a
// plain search down each column finds, on screens of sparse marks in rows
// of varied length (padding included), with and without a reference.
TEST(FrameBitmap, EdgeScansMatchColumnByColumnSearch) {
  uint32_t seed = 7;
  auto next = [&seed] { return (seed = seed * 1103515245u + 12345u) >> 16; };
  for (int round = 0; round < 300; ++round) {
    const int w = 1 + static_cast<int>(next() % 40), h = 1 + static_cast<int>(next() % 12);
    const int ref = round % 3 == 0 ? kNoReferenceIndex : 3;
    Screen s(w, h, 3);
    for (int y = 0; y < h; ++y) s.at(0, y) = static_cast<uint8_t>(round % 2 ? 3 : 5);
    for (int marks = static_cast<int>(next() % 4); marks > 0; --marks)
      s.at(static_cast<int>(next() % w), static_cast<int>(next() % h)) = static_cast<uint8_t>(next() % 6);
    auto columnBlank = [&](int x) {
      int want = ref >= 0 ? ref : s.at(x, 0);
      for (int y = 0; y < h; ++y)
        if (s.at(x, y) != want) return false;
      return true;
    };
    int left = -1, right = -1;
    for (int x = 0; x < w && left < 0; ++x)
      if (!columnBlank(x)) left = x;
    for (int x = w - 1; x >= 0 && right < 0; --x)
      if (!columnBlank(x)) right = x;
    const uint8_t* p = s.pixels.data();
    ASSERT_EQ(FindLeftEdge(p, s.stride, w, h, ref), left) << "round " << round;
    ASSERT_EQ(FindRightEdge(p, s.stride, w, h, ref), right) << "round " << round;
  }
}

TEST(FrameBitmap, CropsOnlyAFullScreenFrame) {
  Screen s(16, 8, 2);
  s.at(7, 3) = 1;
  FrameBitmap b;
  ASSERT_TRUE(BuildFrameBitmap(s.Source(0, 0, 16, 8, 4), 2, 1, 0, 1, b));
  EXPECT_EQ(b.width, 1);
  EXPECT_EQ(b.height, 1);
  EXPECT_EQ(b.left, 7);
  EXPECT_EQ(b.top, 3);
  EXPECT_EQ(PixelsOf(b), (Bytes{1, 0, 0, 0}));

  // Cropping option off, or a frame that is not exactly the screen: whole.
  ASSERT_TRUE(BuildFrameBitmap(s.Source(0, 0, 16, 8, 4), 2, 0, 0, 1, b));
  EXPECT_EQ(b.width, 16);
  ASSERT_TRUE(BuildFrameBitmap(s.Source(0, 0, 15, 8, 4), 2, 1, 0, 1, b));
  EXPECT_EQ(b.width, 15);
  EXPECT_EQ(b.height, 8);
  // Screen-sized but one column right: clipped, not cropped.
  ASSERT_TRUE(BuildFrameBitmap(s.Source(1, 0, 16, 8, 4), 2, 1, 0, 1, b));
  EXPECT_EQ(b.left, 1);
  EXPECT_EQ(b.width, 15);
  EXPECT_EQ(b.height, 8);

  // Nothing differs from the background: the top-left pixel is kept.
  Screen blank(16, 8, 2);
  ASSERT_TRUE(BuildFrameBitmap(blank.Source(0, 0, 16, 8, 4), 2, 1, 0, 1, b));
  EXPECT_EQ(b.width, 1);
  EXPECT_EQ(b.height, 1);
  EXPECT_EQ(b.left, 0);
  EXPECT_EQ(b.top, 0);
  EXPECT_EQ(PixelsOf(b), (Bytes{2, 0, 0, 0}));
}

TEST(FrameShape, OneFillStyleOnlyAtTheOrigin) {
  FrameBitmap b;
  b.characterId = 5;
  b.width = 3;
  b.height = 2;
  RectangleShape s;
  BuildFrameShape(b, s);
  EXPECT_EQ(s.fillStyleCount, 1);
  EXPECT_EQ(s.fillBitmapIds[0], 5);
  EXPECT_EQ(s.fillStyle1, 1);
  EXPECT_EQ(s.fillMatrices[0].scaleX, 0x140000);
  EXPECT_EQ(s.xmax, 60);
  EXPECT_EQ(s.ymax, 40);
  EXPECT_EQ(s.moveToX, 60);
  EXPECT_EQ(s.moveToY, 40);

  b.left = -1;  // a border on a frame at the screen edge
  b.top = 4;
  BuildFrameShape(b, s);
  EXPECT_EQ(s.fillStyleCount, 2);
  EXPECT_EQ(s.fillBitmapIds[0], 65535);
  EXPECT_EQ(s.fillBitmapIds[1], 5);
  EXPECT_EQ(s.fillStyle1, 2);
  EXPECT_EQ(s.fillMatrices[1].translateX, -20);
  EXPECT_EQ(s.fillMatrices[1].translateY, 80);
  EXPECT_EQ(s.fillMatrices[1].scaleY, 0x140000);
  EXPECT_EQ(s.xmin, -20);
  EXPECT_EQ(s.ymin, 80);
  EXPECT_EQ(s.xmax, 40);
  EXPECT_EQ(s.ymax, 120);
}

// ---- Through whole conversions ----

ConversionOptions Options(int border, int crop, int background) {
  ConversionOptions o;
  o.borderCorrection = border;
  o.optimiseCanvas = crop;
  o.useGifBackground = background;
  return o;
}

TEST(FrameBitmapMovie, TransparentIndexZero) {
  GifBuilder gif(4, 2, Palette(4));
  gif.GraphicControl(0, 0, 0);
  gif.Image(ImageDescriptor{0, 0, 4, 2}, Stripes(4, 2, 4));
  gif.Trailer();
  Conversion c = ConvertGif(gif, "bitmap_transparent_zero");
  ExpectedMovie m;
  ExpectFrame(m, 1, 0, 0, 4, 2, 4, true);
  m.Add(ExpectStop());
  ExpectShows(m, 1);
  ASSERT_TRUE(MatchesExpectation(c, m));
  BitmapParts d = SplitBitmapData(*TagsOf(c.movie, kDefineBitsLossless2).at(0));
  std::vector<Rgb> p = Palette(4);
  EXPECT_EQ(d.table, (Bytes{0, 0, 0, 0, p[1].r, p[1].g, p[1].b, 255, p[2].r, p[2].g, p[2].b, 255, p[3].r, p[3].g,
                            p[3].b, 255}));
  EXPECT_EQ(d.rows, (Bytes{0, 1, 2, 3, 2, 3, 0, 1}));
}

// A 16-colour frame without transparency gets entry 16 as its border.
TEST(FrameBitmapMovie, BorderTakesTheEntryAfterTheTable) {
  GifBuilder gif(8, 6, Palette(16));
  gif.Image(ImageDescriptor{3, 2, 2, 2}, {5, 6, 7, 15});
  gif.Trailer();
  Conversion c = ConvertGif(gif, "bitmap_border_16", Options(1, 0, 0));
  ExpectedMovie m;
  ExpectFrame(m, 1, 2, 1, 4, 4, 17, true);
  m.Add(ExpectStop());
  ExpectShows(m, 1);
  ASSERT_TRUE(MatchesExpectation(c, m));
  BitmapParts d = SplitBitmapData(*TagsOf(c.movie, kDefineBitsLossless2).at(0));
  ASSERT_EQ(d.table.size(), 17u * 4);
  EXPECT_EQ(Bytes(d.table.end() - 4, d.table.end()), (Bytes{0, 0, 0, 0}));
  for (int i = 0; i < 16; ++i) EXPECT_EQ(d.table[i * 4 + 3], 255) << i;
  EXPECT_EQ(d.rows, (Bytes{16, 16, 16, 16, 16, 5, 6, 16, 16, 7, 15, 16, 16, 16, 16, 16}));
}

// A 256-colour frame has no free index: no border for it or any later frame
// of the conversion, while the frame before keeps its own.
TEST(FrameBitmapMovie, TwoHundredFiftySixColoursEndBorders) {
  GifBuilder gif(8, 8, Palette(16));
  gif.Image(ImageDescriptor{1, 1, 3, 3}, Stripes(3, 3, 16));
  gif.Image(ImageDescriptor(2, 2, 3, 3, false, Palette(256)), Stripes(3, 3, 200));
  gif.Image(ImageDescriptor{3, 3, 3, 3}, Stripes(3, 3, 16));
  gif.GraphicControl(0, 0, 4);
  gif.Image(ImageDescriptor{4, 4, 3, 3}, Stripes(3, 3, 16));
  gif.Trailer();
  Conversion c = ConvertGif(gif, "bitmap_border_switch_off", Options(1, 0, 0));
  ExpectedMovie m;
  ExpectFrame(m, 1, 0, 0, 5, 5, 17, true);
  ExpectShows(m, 1);
  ExpectFrame(m, 3, 2, 2, 3, 3, 256, false);
  ExpectShows(m, 1);
  ExpectFrame(m, 5, 3, 3, 3, 3, 16, false);
  ExpectShows(m, 1);
  ExpectFrame(m, 7, 4, 4, 3, 3, 16, true);  // its own transparency, still no border
  m.Add(ExpectStop());
  ExpectShows(m, 1);
  EXPECT_TRUE(MatchesExpectation(c, m));

  // The next conversion starts with the option as the job gives it.
  GifBuilder small(8, 8, Palette(16));
  small.Image(ImageDescriptor{1, 1, 3, 3}, Stripes(3, 3, 16));
  small.Trailer();
  Conversion again = ConvertGif(small, "bitmap_border_next_job", Options(1, 0, 0));
  ExpectedMovie n;
  ExpectFrame(n, 1, 0, 0, 5, 5, 17, true);
  n.Add(ExpectStop());
  ExpectShows(n, 1);
  EXPECT_TRUE(MatchesExpectation(again, n));
}

// A frame with no colour table at all shows grey shades, 256 of them, so it
// gets no border; the frames after it that have small tables still do.
TEST(FrameBitmapMovie, FrameWithoutAnyTableLeavesLaterBorders) {
  GifBuilder gif(8, 8, {});
  gif.Image(ImageDescriptor{1, 1, 3, 3}, Stripes(3, 3, 4));
  gif.Image(ImageDescriptor(2, 2, 3, 3, false, Palette(16)), Stripes(3, 3, 16));
  gif.Trailer();
  Conversion c = ConvertGif(gif, "bitmap_border_after_grey", Options(1, 0, 0));
  ExpectedMovie m;
  ExpectFrame(m, 1, 1, 1, 3, 3, 256, false);
  ExpectShows(m, 1);
  ExpectFrame(m, 3, 1, 1, 5, 5, 17, true);
  m.Add(ExpectStop());
  ExpectShows(m, 1);
  EXPECT_TRUE(MatchesExpectation(c, m));
}

// A full-screen frame of background index 2 but for one pixel at column 7,
// row 3, in a 16 x 8 screen.
GifBuilder OnePixelFrame() {
  GifBuilder gif(16, 8, Palette(4), 2);
  Bytes px = Solid(16, 8, 2);
  px[3 * 16 + 7] = 1;
  gif.Image(ImageDescriptor{0, 0, 16, 8}, px);
  gif.Trailer();
  return gif;
}

TEST(FrameBitmapMovie, CropToTheOnePixelThatDiffersFromTheBackground) {
  Conversion plain = ConvertGif(OnePixelFrame(), "bitmap_crop_pixel", Options(0, 1, 1));
  std::vector<Rgb> p = Palette(4);
  ExpectedMovie m;
  m.stageXmaxTwips = 18 * 20;
  m.stageYmaxTwips = 18 * 20;
  m.Add(ExpectBackground(Rgb24(p[2])));
  ExpectFrame(m, 1, 7, 3, 1, 1, 4, false);
  m.Add(ExpectStop());
  ExpectShows(m, 1);
  ASSERT_TRUE(MatchesExpectation(plain, m));
  EXPECT_EQ(SplitBitmapData(*TagsOf(plain.movie, kDefineBitsLossless).at(0)).rows, (Bytes{1, 0, 0, 0}));

  Conversion bordered = ConvertGif(OnePixelFrame(), "bitmap_crop_pixel_border", Options(1, 1, 1));
  ExpectedMovie b;
  b.Add(ExpectBackground(Rgb24(p[2])));
  ExpectFrame(b, 1, 6, 2, 3, 3, 5, true);
  b.Add(ExpectStop());
  ExpectShows(b, 1);
  ASSERT_TRUE(MatchesExpectation(bordered, b));
  EXPECT_EQ(SplitBitmapData(*TagsOf(bordered.movie, kDefineBitsLossless2).at(0)).rows,
            (Bytes{4, 4, 4, 0, 4, 1, 4, 0, 4, 4, 4, 0}));
}

// Without the background as reference, an edge line is blank when it has
// one colour, whichever: columns 0 (all 1), 1 (all 2) and 7 (all 3) go; with
// background index 1 as reference only column 0 goes.
TEST(FrameBitmapMovie, CropWithAndWithoutTheBackgroundReference) {
  Bytes px(8 * 4);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 8; ++x) {
      uint8_t v = static_cast<uint8_t>((x + y) % 2 ? 0 : 3);
      if (x == 0) v = 1;
      if (x == 1) v = 2;
      if (x == 7) v = 3;
      px[static_cast<size_t>(y) * 8 + x] = v;
    }
  GifBuilder gif(8, 4, Palette(4), 1);
  gif.Image(ImageDescriptor{0, 0, 8, 4}, px);
  gif.Trailer();

  Conversion off = ConvertGif(gif, "bitmap_crop_no_reference", Options(0, 1, 0));
  ExpectedMovie m;
  ExpectFrame(m, 1, 2, 0, 5, 4, 4, false);
  m.Add(ExpectStop());
  ExpectShows(m, 1);
  ASSERT_TRUE(MatchesExpectation(off, m));
  Bytes rows = SplitBitmapData(*TagsOf(off.movie, kDefineBitsLossless).at(0)).rows;
  Bytes want;
  for (int y = 0; y < 4; ++y) {
    for (int x = 2; x < 7; ++x) want.push_back(px[static_cast<size_t>(y) * 8 + x]);
    want.insert(want.end(), 3, 0);
  }
  EXPECT_EQ(rows, want);

  Conversion on = ConvertGif(gif, "bitmap_crop_reference", Options(0, 1, 1));
  ExpectedMovie n;
  n.Add(ExpectBackground(Rgb24(Palette(4)[1])));
  ExpectFrame(n, 1, 1, 0, 7, 4, 4, false);
  n.Add(ExpectStop());
  ExpectShows(n, 1);
  EXPECT_TRUE(MatchesExpectation(on, n));

  // Rows: 0 (all 1) and 1 (all 2) and 3 (all 3) go, row 2 stays.
  Bytes rowsPx(8 * 4);
  for (int x = 0; x < 8; ++x) {
    rowsPx[x] = 1;
    rowsPx[8 + x] = 2;
    rowsPx[16 + x] = static_cast<uint8_t>(x % 3);
    rowsPx[24 + x] = 3;
  }
  GifBuilder rowsGif(8, 4, Palette(4), 1);
  rowsGif.Image(ImageDescriptor{0, 0, 8, 4}, rowsPx);
  rowsGif.Trailer();
  Conversion r = ConvertGif(rowsGif, "bitmap_crop_rows", Options(0, 1, 0));
  ExpectedMovie rm;
  ExpectFrame(rm, 1, 0, 2, 8, 1, 4, false);
  rm.Add(ExpectStop());
  ExpectShows(rm, 1);
  EXPECT_TRUE(MatchesExpectation(r, rm));
  // With background index 1 as reference only row 0 goes.
  Conversion rr = ConvertGif(rowsGif, "bitmap_crop_rows_reference", Options(0, 1, 1));
  ExpectedMovie rn;
  rn.Add(ExpectBackground(Rgb24(Palette(4)[1])));
  ExpectFrame(rn, 1, 0, 1, 8, 3, 4, false);
  rn.Add(ExpectStop());
  ExpectShows(rn, 1);
  EXPECT_TRUE(MatchesExpectation(rr, rn));
}

// Content in the last column and row must stay inside the crop.
TEST(FrameBitmapMovie, CropKeepsTheLastColumnAndRow) {
  struct Case {
    const char* name;
    std::vector<std::pair<int, int>> pixels;
    int left, top, width, height;
  };
  const Case cases[] = {
      {"bitmap_crop_last_corner", {{9, 5}}, 9, 5, 1, 1},
      {"bitmap_crop_last_edges", {{9, 0}, {0, 5}}, 0, 0, 10, 6},
      {"bitmap_crop_last_column", {{9, 2}, {4, 3}}, 4, 2, 6, 2},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    Bytes px = Solid(10, 6, 0);
    for (auto [x, y] : k.pixels) px[static_cast<size_t>(y) * 10 + x] = 3;
    GifBuilder gif(10, 6, Palette(4), 0);
    gif.Image(ImageDescriptor{0, 0, 10, 6}, px);
    gif.Trailer();
    Conversion c = ConvertGif(gif, k.name, Options(0, 1, 1));
    ExpectedMovie m;
    m.Add(ExpectBackground(Rgb24(Palette(4)[0])));
    ExpectFrame(m, 1, k.left, k.top, k.width, k.height, 4, false);
    m.Add(ExpectStop());
    ExpectShows(m, 1);
    EXPECT_TRUE(MatchesExpectation(c, m));
  }
}

}  // namespace
