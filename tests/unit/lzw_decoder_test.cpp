// The LZW decoder on hand-made code streams with known results and on pictures
// from the test encoder: placement, interlacing, clipping, cut-off data,
// and where the file is left.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "support/gif_builder.h"
#include "support/lzw_harness.h"

using gifbuild::GifBuilder;
using gifbuild::ImageInfo;
using gifbuild::ImageDescriptor;
using gifbuild::LzwOptions;

namespace {

LzwOptions Options(int minCodeSize, int maxSubBlock) {
  LzwOptions o;
  o.minCodeSize = minCodeSize;
  o.maxSubBlock = maxSubBlock;
  return o;
}

DecodeRun Decode(const GifBuilder& gif, size_t image, int screenWidth, int screenHeight, int fillIndex = 0,
                 bool cancel = false) {
  DecodeSetup setup;
  setup.screenWidth = screenWidth;
  setup.screenHeight = screenHeight;
  setup.fillIndex = fillIndex;
  setup.cancel = cancel;
  return RunDecodeImage(gif.Bytes(), gif.Images().at(image), setup);
}

std::vector<uint8_t> Noise(size_t n, int colours, uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<uint8_t> v(n);
  for (auto& p : v) p = static_cast<uint8_t>(rng() % static_cast<uint32_t>(colours));
  return v;
}

// Blocky picture with runs, so the encoder builds long strings.
std::vector<uint8_t> Picture(int width, int height, int colours) {
  std::vector<uint8_t> v(static_cast<size_t>(width) * height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) v[static_cast<size_t>(y) * width + x] = static_cast<uint8_t>(((x / 3) + (y / 2) * 7 + (x * y) / 11) % colours);
  return v;
}

std::vector<gifbuild::Rgb> Grey(int n) {
  std::vector<gifbuild::Rgb> c(n);
  for (int i = 0; i < n; ++i) c[i] = {uint8_t(i), uint8_t(i), uint8_t(i)};
  return c;
}

}  // namespace

// Minimum code size 2: clear 4, end 5, first width 3. Codes 4 1 6 2 (width
// 3), then 8 5 (width 4, since the next free code reached 8). Codes 6 and 8
// are the next free code when read: the previous string plus its first
// value (1 -> 1 1, 2 -> 2 2).
TEST(LzwDecoder, HandMadeStreamWithKwKwKAndWidthGrowth) {
  const std::vector<uint8_t> want = {1, 1, 1, 2, 2, 2};
  GifBuilder gif(9, 3, Grey(4));
  gif.ImageFromRawData(ImageDescriptor{1, 1, 6, 1}, {0x02, 0x03, 0x8C, 0x85, 0x05, 0x00});
  gif.Trailer();
  DecodeRun run = Decode(gif, 0, 9, 3);
  ASSERT_TRUE(run.opened);
  EXPECT_EQ(run.pixelsStored, 6);
  EXPECT_EQ(run.pixelsFilled, 0);
  EXPECT_EQ(CutRectangle(run, gif.Images()[0]), want);
  // Row 1 of a 9-wide screen (stride 12): only columns 1..6 written.
  EXPECT_EQ(run.screen[12 + 0], 0xEE);
  EXPECT_EQ(run.screen[12 + 7], 0xEE);
  EXPECT_EQ(run.screen[0 + 1], 0xEE);
  EXPECT_EQ(run.screen[24 + 1], 0xEE);
  EXPECT_EQ(run.endOffset, gif.Bytes().size() - 1);  // at the trailer

  // The same bytes in one-byte sub-blocks: codes straddle the length bytes.
  GifBuilder split(9, 3, Grey(4));
  split.ImageFromRawData(ImageDescriptor{1, 1, 6, 1}, {0x02, 0x01, 0x8C, 0x01, 0x85, 0x01, 0x05, 0x00});
  split.Trailer();
  DecodeRun run2 = Decode(split, 0, 9, 3);
  EXPECT_EQ(CutRectangle(run2, split.Images()[0]), want);
  EXPECT_EQ(run2.endOffset, split.Bytes().size() - 1);
}

// The end code finishes exactly at the end of the last sub-block: the block
// after the image must not be lost.
TEST(LzwDecoder, EndCodeAtSubBlockEndKeepsNextBlock) {
  // Codes 4 1 6 2 (width 3) and 5 (width 4): exactly 16 bits.
  GifBuilder gif(4, 1, Grey(4));
  gif.ImageFromRawData(ImageDescriptor{0, 0, 4, 1}, {0x02, 0x02, 0x8C, 0x55, 0x00});
  gif.Image(ImageDescriptor{0, 0, 4, 1}, {3, 3, 0, 1});
  gif.Trailer();
  DecodeRun run = Decode(gif, 0, 4, 1);
  EXPECT_EQ(CutRectangle(run, gif.Images()[0]), (std::vector<uint8_t>{1, 1, 1, 2}));
  EXPECT_TRUE(run.terminatorSeen);
  EXPECT_EQ(run.endOffset, gif.Images()[1].descriptorOffset);
}

TEST(LzwDecoder, OddCodesFollowTheGeneralRules) {
  struct Case {
    const char* what;
    int minCodeSize;
    std::vector<int> codes;
    std::vector<uint8_t> expect;
  };
  const std::vector<Case> cases = {
      {"code above the next free code", 2, {4, 1, 7, 5}, {1, 1, 1}},
      {"first code after a clear not a root", 2, {4, 7, 2, 5}, {0, 2}},
      {"several clears in a row", 2, {4, 4, 4, 3, 4, 4, 2, 5}, {3, 2}},
      {"minimum code size 1", 1, {2, 1, 0, 3}, {1, 0}},
      {"minimum code size 0", 0, {1, 0, 0, 2}, {0, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const int n = static_cast<int>(c.expect.size());
    GifBuilder gif(n, 1, Grey(4));
    gif.ImageFromCodes(ImageDescriptor{0, 0, n, 1}, c.minCodeSize, gifbuild::WithDecoderWidths(c.minCodeSize, c.codes));
    gif.Trailer();
    DecodeRun run = Decode(gif, 0, n, 1);
    EXPECT_EQ(CutRectangle(run, gif.Images()[0]), c.expect);
    EXPECT_EQ(run.pixelsFilled, 0);
    EXPECT_EQ(run.endOffset, gif.Bytes().size() - 1);
  }
}

// Hand-packed bit patterns for sizes 1 and 0, independent of the helpers.
// Size 1 (clear 2, end 3): 2 1 0 at width 2, then 4 3 at width 3 -> 06 07.
// Size 0 (clear 1, end 2): 1 0 0 at width 1, 3 at width 2, 2 at width 3 -> 59.
TEST(LzwDecoder, TinyMinimumCodeSizesHandPacked) {
  GifBuilder gif(4, 1, Grey(2));
  gif.ImageFromRawData(ImageDescriptor{0, 0, 4, 1}, {0x01, 0x02, 0x06, 0x07, 0x00});
  gif.ImageFromRawData(ImageDescriptor{0, 0, 4, 1}, {0x00, 0x01, 0x59, 0x00});
  gif.Trailer();
  for (size_t i = 0; i < 2; ++i) {
    DecodeRun run = Decode(gif, i, 4, 1, 7);
    EXPECT_EQ(run.pixelsFilled, 0) << i;
    EXPECT_EQ(CutRectangle(run, gif.Images()[i]),
              (i == 0 ? std::vector<uint8_t>{1, 0, 1, 0} : std::vector<uint8_t>{0, 0, 0, 0}));
    EXPECT_EQ(run.endOffset, gif.Images()[i].dataEnd);
  }
}

TEST(LzwDecoder, RoundTripsEveryMinimumCodeSizeAndSubBlockLength) {
  for (int bits = 2; bits <= 8; ++bits) {
    for (int block : {1, 2, 3, 7, 255}) {
      SCOPED_TRACE("min code size " + std::to_string(bits) + ", sub-block " + std::to_string(block));
      const int w = 37, h = 23;
      std::vector<uint8_t> pic = Picture(w, h, 1 << bits);
      LzwOptions opt;
      opt.minCodeSize = bits;
      opt.maxSubBlock = block;
      GifBuilder gif(w + 5, h + 4, Grey(1 << bits));
      gif.Image(ImageDescriptor{3, 2, w, h}, pic, opt);
      gif.Comment("after");
      gif.Trailer();
      DecodeRun run = Decode(gif, 0, w + 5, h + 4);
      EXPECT_EQ(CutRectangle(run, gif.Images()[0]), pic);
      EXPECT_EQ(run.pixelsStored, w * h);
      EXPECT_EQ(run.endOffset, gif.Images()[0].dataEnd);
    }
  }
}

// Noise fills the table; without a clear code it stays full with 12-bit
// codes, and an explicit clear later starts it again.
TEST(LzwDecoder, FullTableWithDeferredAndExplicitClear) {
  const int w = 160, h = 120;
  std::vector<uint8_t> pic = Noise(static_cast<size_t>(w) * h, 256, 7);
  LzwOptions deferred;
  deferred.minCodeSize = 8;
  deferred.clearWhenFull = false;
  std::vector<gifbuild::LzwCode> codes = gifbuild::LzwEncode(pic, deferred);
  int clears = 0;
  for (const auto& c : codes) clears += c.code == 256;
  ASSERT_EQ(clears, 1);  // only the initial one
  ASSERT_EQ(codes[codes.size() - 2].width, 12);

  LzwOptions later = deferred;
  later.clearBefore = {pic.size() - 3000};
  LzwOptions eager;
  eager.minCodeSize = 8;

  GifBuilder gif(w, h, Grey(256));
  gif.Image(ImageDescriptor{0, 0, w, h}, pic, deferred);
  gif.Image(ImageDescriptor{0, 0, w, h}, pic, later);
  gif.Image(ImageDescriptor{0, 0, w, h}, pic, eager);
  gif.Trailer();
  for (size_t i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    DecodeRun run = Decode(gif, i, w, h);
    EXPECT_EQ(CutRectangle(run, gif.Images()[i]), pic);
    EXPECT_EQ(run.endOffset, gif.Images()[i].dataEnd);
  }
  DecodeRun full = Decode(gif, 0, w, h);
  EXPECT_EQ(full.tableFull, 1);
  EXPECT_EQ(full.codeWidth, 12);
  EXPECT_EQ(Decode(gif, 1, w, h).tableFull, 0);
}

TEST(LzwDecoder, InterlacedEqualsNonInterlacedForHeightsOneToNine) {
  const int w = 5;
  for (int h = 1; h <= 9; ++h) {
    SCOPED_TRACE("height " + std::to_string(h));
    std::vector<uint8_t> pic(static_cast<size_t>(w) * h);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) pic[static_cast<size_t>(y) * w + x] = static_cast<uint8_t>(y * 3 + (x & 1));
    GifBuilder gif(w + 2, h + 1, Grey(32));
    gif.Image(ImageDescriptor{1, 1, w, h, true}, pic);
    gif.Image(ImageDescriptor{1, 1, w, h, false}, pic);
    gif.Trailer();
    DecodeRun inter = Decode(gif, 0, w + 2, h + 1);
    DecodeRun plain = Decode(gif, 1, w + 2, h + 1);
    EXPECT_EQ(CutRectangle(inter, gif.Images()[0]), pic);
    EXPECT_EQ(inter.screen, plain.screen);
    EXPECT_EQ(inter.endOffset, gif.Images()[0].dataEnd);
  }
}

TEST(LzwDecoder, MissingEndCodeStopsAtPixelTotal) {
  const int w = 11, h = 7;
  std::vector<uint8_t> pic = Picture(w, h, 16);
  LzwOptions opt;
  opt.omitEndCode = true;
  GifBuilder gif(w, h, Grey(16));
  gif.Image(ImageDescriptor{0, 0, w, h}, pic, opt);
  gif.GraphicControl(5, 1);
  gif.Trailer();
  DecodeRun run = Decode(gif, 0, w, h);
  EXPECT_FALSE(run.endCodeSeen);
  EXPECT_FALSE(run.dataEnded);
  EXPECT_EQ(run.pixelsStored, w * h);
  EXPECT_EQ(CutRectangle(run, gif.Images()[0]), pic);
  EXPECT_EQ(run.endOffset, gif.Images()[0].dataEnd);
}

// Cut-off data: what was decoded stays, the rest of the rectangle gets the
// fill index, and the file is left after the terminator (or at its end).
TEST(LzwDecoder, TruncatedDataIsCompletedWithFillIndex) {
  const int w = 20, h = 10;
  std::vector<uint8_t> pic = Noise(static_cast<size_t>(w) * h, 4, 3);
  for (bool interlaced : {false, true}) {
    SCOPED_TRACE(interlaced ? "interlaced" : "progressive");
    LzwOptions cut;
    cut.minCodeSize = 2;
    cut.truncateDataBytes = 20;
    cut.maxSubBlock = 6;
    GifBuilder gif(w, h, Grey(4));
    gif.Image(ImageDescriptor{0, 0, w, h, interlaced}, pic, cut);
    gif.Trailer();
    DecodeRun run = Decode(gif, 0, w, h, 9);
    EXPECT_TRUE(run.dataEnded);
    EXPECT_TRUE(run.terminatorSeen);
    EXPECT_GT(run.pixelsStored, 20);
    EXPECT_LT(run.pixelsStored, w * h);
    EXPECT_EQ(run.pixelsStored + run.pixelsFilled, w * h);
    EXPECT_EQ(run.endOffset, gif.Images()[0].dataEnd);
    // Pixels in stream order: decoded ones match, the others are 9.
    std::vector<uint8_t> got = CutRectangle(run, gif.Images()[0]);
    std::vector<uint8_t> streamGot = interlaced ? gifbuild::InterlaceRows(got, w, h) : got;
    std::vector<uint8_t> streamPic = interlaced ? gifbuild::InterlaceRows(pic, w, h) : pic;
    for (size_t i = 0; i < streamGot.size(); ++i) {
      if (static_cast<int64_t>(i) < run.pixelsStored)
        ASSERT_EQ(streamGot[i], streamPic[i]) << i;
      else
        ASSERT_EQ(streamGot[i], 9) << i;
    }
  }

  // The file ends inside the data.
  GifBuilder gif(w, h, Grey(4));
  gif.Image(ImageDescriptor{0, 0, w, h}, pic);
  std::vector<uint8_t> bytes = gif.Bytes();
  bytes.resize(gif.Images()[0].dataOffset + 12);
  DecodeSetup setup;
  setup.screenWidth = w;
  setup.screenHeight = h;
  setup.fillIndex = 200;
  DecodeRun run = RunDecodeImage(bytes, gif.Images()[0], setup);
  EXPECT_TRUE(run.dataEnded);
  EXPECT_FALSE(run.terminatorSeen);
  EXPECT_EQ(run.pixelsStored + run.pixelsFilled, w * h);
  EXPECT_EQ(run.endOffset, bytes.size());
  EXPECT_EQ(run.screen[static_cast<size_t>(h - 1) * 20 + 19], 200);

  // An end code before the pixel total also leaves no pixel undefined.
  GifBuilder early(3, 2, Grey(4));
  early.ImageFromCodes(ImageDescriptor{0, 0, 3, 2}, 2, gifbuild::WithDecoderWidths(2, {4, 1, 2, 5}));
  early.Trailer();
  DecodeRun e = Decode(early, 0, 3, 2, 3);
  EXPECT_TRUE(e.endCodeSeen);
  EXPECT_EQ(CutRectangle(e, early.Images()[0]), (std::vector<uint8_t>{1, 2, 3, 3, 3, 3}));
}

// A rectangle that runs past the right and bottom edges: the visible part is
// stored, nothing outside the screen buffer or in the row padding changes.
TEST(LzwDecoder, ClipsAtTheScreenEdge) {
  const int sw = 10, sh = 6, w = 8, h = 5, left = 6, top = 3;
  std::vector<uint8_t> pic = Picture(w, h, 8);
  for (bool interlaced : {false, true}) {
    SCOPED_TRACE(interlaced ? "interlaced" : "progressive");
    GifBuilder gif(sw, sh, Grey(8));
    gif.Image(ImageDescriptor{left, top, w, h, interlaced}, pic, Options(3, 4));
    gif.Trailer();
    DecodeRun run = Decode(gif, 0, sw, sh);
    EXPECT_TRUE(run.guardsIntact);
    EXPECT_EQ(run.pixelsStored, w * h);
    EXPECT_EQ(run.endOffset, gif.Images()[0].dataEnd);
    for (int y = 0; y < sh; ++y) {
      for (int x = 0; x < run.stride; ++x) {
        uint8_t got = run.screen[static_cast<size_t>(y) * run.stride + x];
        bool inside = x < sw && x >= left && y >= top;
        uint8_t want = inside ? pic[static_cast<size_t>(y - top) * w + (x - left)] : 0xEE;
        ASSERT_EQ(got, want) << x << "," << y;
      }
    }
  }
  // Entirely off the screen: nothing written at all.
  GifBuilder off(4, 4, Grey(4));
  off.Image(ImageDescriptor{4, 1, 3, 3}, Noise(9, 4, 1));
  off.Trailer();
  DecodeRun run = Decode(off, 0, 4, 4);
  EXPECT_TRUE(run.guardsIntact);
  EXPECT_EQ(run.screen, std::vector<uint8_t>(16, 0xEE));
  EXPECT_EQ(run.pixelsStored, 9);
}

TEST(LzwDecoder, CancelStopsBeforeTheNextCode) {
  GifBuilder gif(8, 8, Grey(4));
  gif.Image(ImageDescriptor{0, 0, 8, 8}, Noise(64, 4, 5), Options(2, 5));
  gif.Trailer();
  DecodeRun run = Decode(gif, 0, 8, 8, 1, true);
  EXPECT_EQ(run.pixelsStored, 0);
  EXPECT_EQ(run.pixelsFilled, 0);
  EXPECT_EQ(run.screen, std::vector<uint8_t>(64, 0xEE));
  EXPECT_EQ(run.endOffset, gif.Images()[0].dataEnd);
}

TEST(LzwDecoder, UnusableSizesAndEmptyImagesSkipTheData) {
  // Minimum code size 12: no room for roots, clear and end.
  GifBuilder gif(6, 4, Grey(4));
  gif.ImageFromRawData(ImageDescriptor{1, 1, 4, 2}, {12, 3, 0xFF, 0x12, 0x34, 2, 0x56, 0x78, 0x00});
  gif.Image(ImageDescriptor{0, 0, 0, 3}, {});
  gif.Image(ImageDescriptor{0, 0, 2, 0}, {});
  gif.Trailer();
  DecodeRun run = Decode(gif, 0, 6, 4, 5);
  EXPECT_EQ(CutRectangle(run, gif.Images()[0]), std::vector<uint8_t>(8, 5));
  EXPECT_EQ(run.pixelsStored, 0);
  EXPECT_EQ(run.pixelsFilled, 8);
  EXPECT_EQ(run.screen[0], 0xEE);
  EXPECT_EQ(run.endOffset, gif.Images()[1].descriptorOffset);
  for (size_t i = 1; i < 3; ++i) {
    DecodeRun empty = Decode(gif, i, 6, 4);
    EXPECT_EQ(empty.screen, std::vector<uint8_t>(8 * 4, 0xEE));
    EXPECT_EQ(empty.endOffset, gif.Images()[i].dataEnd);
  }
  // End of file where the minimum code size should be.
  std::vector<uint8_t> bytes = gif.Bytes();
  bytes.resize(gif.Images()[0].dataOffset);
  DecodeSetup setup;
  setup.screenWidth = 6;
  setup.screenHeight = 4;
  setup.fillIndex = 2;
  DecodeRun cut = RunDecodeImage(bytes, gif.Images()[0], setup);
  EXPECT_TRUE(cut.dataEnded);
  EXPECT_EQ(CutRectangle(cut, gif.Images()[0]), std::vector<uint8_t>(8, 2));
}

// Random bytes as image data: decoding ends, stays inside the buffers and
// leaves every pixel defined.
TEST(LzwDecoder, GarbageCodesNeverHang) {
  std::mt19937 rng(11);
  for (int round = 0; round < 60; ++round) {
    SCOPED_TRACE(round);
    const int minCodeSize = round % 12;
    std::vector<uint8_t> data;
    const int blocks = 1 + static_cast<int>(rng() % 6);
    for (int b = 0; b < blocks; ++b) {
      int n = 1 + static_cast<int>(rng() % 255);
      std::vector<uint8_t> block(static_cast<size_t>(n));
      for (auto& v : block) v = round % 5 == 0 ? 0xFF : static_cast<uint8_t>(rng());
      std::vector<uint8_t> sb = gifbuild::SubBlocks(block, 255, false);
      data.insert(data.end(), sb.begin(), sb.end());
    }
    data.insert(data.begin(), static_cast<uint8_t>(minCodeSize));
    data.push_back(0);
    GifBuilder gif(40, 30, Grey(4));
    gif.ImageFromRawData(ImageDescriptor{5, 5, 40, 30, round % 2 == 1}, data);
    gif.Trailer();
    DecodeRun run = Decode(gif, 0, 40, 30);
    EXPECT_TRUE(run.guardsIntact);
    EXPECT_EQ(run.pixelsStored + run.pixelsFilled, 40 * 30);
    EXPECT_EQ(run.endOffset, gif.Bytes().size() - 1);
  }
}
