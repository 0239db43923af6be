// Colour indices from the LZW decoder compared with giflib's, frame by frame:
// streams from the test encoder in many shapes, then the committed GIFs that
// other programs made.
#include <gif_lib.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <system_error>
#include <vector>

#include "support/gif_builder.h"
#include "support/lzw_harness.h"
#include "support/temp_folder.h"

using gifbuild::GifBuilder;
using gifbuild::ImageInfo;
using gifbuild::ImageDescriptor;
using gifbuild::LzwOptions;

namespace {

struct GiflibFrame {
  int left, top, width, height;
  std::vector<uint8_t> indices;  // top row first (giflib de-interlaces)
};

// Returns false when giflib cannot read the file.
bool SlurpWithGiflib(const std::string& path, std::vector<GiflibFrame>& frames, int& screenW, int& screenH) {
  frames.clear();
  int error = 0;
  GifFileType* gif = DGifOpenFileName(path.c_str(), &error);
  if (!gif) return false;
  bool ok = DGifSlurp(gif) == GIF_OK;
  if (ok) {
    screenW = gif->SWidth;
    screenH = gif->SHeight;
    for (int i = 0; i < gif->ImageCount; ++i) {
      const SavedImage& im = gif->SavedImages[i];
      GiflibFrame f{im.ImageDesc.Left, im.ImageDesc.Top, im.ImageDesc.Width, im.ImageDesc.Height, {}};
      size_t n = static_cast<size_t>(f.width) * static_cast<size_t>(f.height);
      if (im.RasterBits) f.indices.assign(im.RasterBits, im.RasterBits + n);
      frames.push_back(std::move(f));
    }
  }
  DGifCloseFile(gif, &error);
  return ok;
}

std::string Scratch(const std::string& tag) {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  return TestOutputFolder() + "/oracle_" + info->name() + "_" + tag + ".gif";
}

// Decodes every frame with both decoders and compares; returns the frame
// count compared (0 when giflib refused the file).
int CompareFrames(const std::vector<uint8_t>& bytes, const std::string& tag) {
  const std::string path = Scratch(tag);
  if (!gifbuild::WriteFileBytes(path, bytes)) {
    ADD_FAILURE() << "cannot write " << path;
    return 0;
  }
  std::vector<GiflibFrame> frames;
  int screenW = 0, screenH = 0;
  bool readable = SlurpWithGiflib(path, frames, screenW, screenH);
  std::remove(path.c_str());
  if (!readable) return 0;

  std::vector<ImageInfo> images = gifbuild::ListImages(bytes);
  EXPECT_EQ(images.size(), frames.size()) << tag;
  const size_t count = std::min(images.size(), frames.size());
  for (size_t i = 0; i < count; ++i) {
    const ImageInfo& im = images[i];
    const GiflibFrame& f = frames[i];
    EXPECT_EQ(im.left, f.left);
    EXPECT_EQ(im.top, f.top);
    EXPECT_EQ(im.width, f.width);
    EXPECT_EQ(im.height, f.height);
    DecodeSetup setup;
    // Room for the whole rectangle, even when it runs past the logical screen.
    setup.screenWidth = std::max(screenW, im.left + im.width);
    setup.screenHeight = std::max(screenH, im.top + im.height);
    DecodeRun run = RunDecodeImage(bytes, im, setup);
    EXPECT_TRUE(run.guardsIntact);
    EXPECT_EQ(run.endOffset, im.dataEnd) << tag << " frame " << i;
    EXPECT_EQ(run.pixelsFilled, 0) << tag << " frame " << i;
    std::vector<uint8_t> ours = CutRectangle(run, im);
    if (ours != f.indices) {
      size_t at = 0;
      while (at < ours.size() && at < f.indices.size() && ours[at] == f.indices[at]) ++at;
      ADD_FAILURE() << tag << " frame " << i << ": first difference at pixel " << at << " of " << ours.size();
    }
  }
  return static_cast<int>(count);
}

std::vector<uint8_t> Noise(size_t n, int colours, uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<uint8_t> v(n);
  for (auto& p : v) p = static_cast<uint8_t>(rng() % static_cast<uint32_t>(colours));
  return v;
}

// Gradients with runs and some noise: long strings and many entries.
std::vector<uint8_t> Mixed(int w, int h, int colours, uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<uint8_t> v(static_cast<size_t>(w) * h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      int base = (x / 4 + y / 3) % colours;
      if (rng() % 7 == 0) base = static_cast<int>(rng() % static_cast<uint32_t>(colours));
      v[static_cast<size_t>(y) * w + x] = static_cast<uint8_t>(base);
    }
  return v;
}

std::vector<gifbuild::Rgb> Palette(int n) {
  std::vector<gifbuild::Rgb> c(n);
  for (int i = 0; i < n; ++i) c[i] = {uint8_t(i * 37), uint8_t(i * 91), uint8_t(255 - i)};
  return c;
}

}  // namespace

TEST(LzwGiflib, MinimumCodeSizesTwoToEight) {
  for (int bits = 2; bits <= 8; ++bits) {
    const int colours = 1 << bits;
    GifBuilder gif(64, 48, Palette(colours));
    LzwOptions opt;
    opt.minCodeSize = bits;
    gif.Image(ImageDescriptor{0, 0, 64, 48}, Mixed(64, 48, colours, bits), opt);
    gif.GraphicControl(10, 1, 0);
    gif.Image(ImageDescriptor{5, 7, 30, 20}, Noise(600, colours, 100 + bits), opt);
    // Indices that use only part of the code space.
    gif.Image(ImageDescriptor{1, 2, 17, 13}, Noise(17 * 13, 2, 200 + bits), opt);
    gif.Trailer();
    EXPECT_EQ(CompareFrames(gif.Bytes(), "bits" + std::to_string(bits)), 3);
  }
}

TEST(LzwGiflib, FullTableWithoutClearAndExplicitClears) {
  const int w = 200, h = 150;
  std::vector<uint8_t> noise = Noise(static_cast<size_t>(w) * h, 256, 42);
  std::vector<uint8_t> mixed = Mixed(w, h, 64, 43);

  LzwOptions deferred;
  deferred.minCodeSize = 8;
  deferred.clearWhenFull = false;
  LzwOptions deferredSmall = deferred;
  deferredSmall.minCodeSize = 6;
  LzwOptions clears;
  clears.minCodeSize = 8;
  clears.clearBefore = {1, 2, 500, 501, 7000, 20000, 29999};
  LzwOptions deferredThenClear = deferred;
  deferredThenClear.clearBefore = {25000};

  GifBuilder gif(w, h, Palette(256));
  gif.Image(ImageDescriptor{0, 0, w, h}, noise, deferred);
  gif.Image(ImageDescriptor{0, 0, w, h}, mixed, deferredSmall);
  gif.Image(ImageDescriptor{0, 0, w, h}, noise, clears);
  gif.Image(ImageDescriptor{0, 0, w, h}, noise, deferredThenClear);
  gif.Image(ImageDescriptor{0, 0, w, h}, noise);  // clear whenever the table fills
  gif.Trailer();
  EXPECT_EQ(CompareFrames(gif.Bytes(), "full"), 5);
}

// Runs of one colour make the encoder send the code that the decoder is
// about to define; also a hand-made stream that does so at once.
TEST(LzwGiflib, CodeEqualToNextFreeCode) {
  GifBuilder gif(40, 30, Palette(4));
  std::vector<uint8_t> runs(40 * 30, 2);
  for (size_t i = 300; i < 700; ++i) runs[i] = 1;
  gif.Image(ImageDescriptor{0, 0, 40, 30}, runs);
  // 4 1 6 7 8 5: 1, 11, 111, 1111, each code the next free one.
  gif.ImageFromCodes(ImageDescriptor{0, 0, 10, 1}, 2, gifbuild::WithDecoderWidths(2, {4, 1, 6, 7, 8, 5}));
  gif.Trailer();
  EXPECT_EQ(CompareFrames(gif.Bytes(), "kwkwk"), 2);
}

TEST(LzwGiflib, CodesStraddleSubBlocks) {
  for (int block : {1, 2, 3, 5, 254}) {
    GifBuilder gif(33, 21, Palette(32));
    LzwOptions opt;
    opt.maxSubBlock = block;
    gif.Image(ImageDescriptor{0, 0, 33, 21}, Mixed(33, 21, 32, block), opt);
    opt.minCodeSize = 8;
    gif.Image(ImageDescriptor{2, 3, 31, 18}, Noise(31 * 18, 256, block), opt);
    gif.Trailer();
    EXPECT_EQ(CompareFrames(gif.Bytes(), "block" + std::to_string(block)), 2);
  }
}

TEST(LzwGiflib, InterlacedHeightsOneToNineAndTwins) {
  for (int h = 1; h <= 9; ++h) {
    const int w = 13;
    std::vector<uint8_t> pic = Mixed(w, h, 16, h);
    GifBuilder gif(w, h, Palette(16));
    gif.Image(ImageDescriptor{0, 0, w, h, true}, pic);
    gif.Image(ImageDescriptor{0, 0, w, h, false}, pic);
    gif.Trailer();
    EXPECT_EQ(CompareFrames(gif.Bytes(), "interlaced" + std::to_string(h)), 2);
  }
  GifBuilder big(90, 77, Palette(64));
  big.Image(ImageDescriptor{0, 0, 90, 77, true}, Mixed(90, 77, 64, 9));
  big.Trailer();
  EXPECT_EQ(CompareFrames(big.Bytes(), "interlaced77"), 1);
}

// GIFs that other people made with other programs (tests/fixtures/gifs).
TEST(LzwGiflib, FixtureGifs) {
  namespace fs = std::filesystem;
  std::vector<fs::path> files;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(fs::path(TERVANO_SOURCE_DIR) / "tests" / "fixtures" / "gifs", ec))
    if (entry.path().extension() == ".gif") files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  ASSERT_GE(files.size(), 10u) << "tests/fixtures/gifs is missing its GIFs";

  int frames = 0, interlaced = 0;
  for (const fs::path& f : files) {
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(gifbuild::ReadFileBytes(f.string(), bytes));
    SCOPED_TRACE(f.string());
    const int n = CompareFrames(bytes, f.stem().string());
    EXPECT_GT(n, 0) << "giflib cannot read it";
    frames += n;
    for (const ImageInfo& im : gifbuild::ListImages(bytes)) interlaced += im.interlaced;
  }
  std::printf("compared %zu fixture GIFs (%d frames, %d interlaced)\n", files.size(), frames, interlaced);
  EXPECT_GT(interlaced, 0);
}

// The sample animations shipped with the project.
TEST(LzwGiflib, SampleGifs) {
  namespace fs = std::filesystem;
  std::error_code ec;
  int compared = 0;
  for (const auto& entry : fs::directory_iterator(fs::path(TERVANO_SOURCE_DIR) / "samples", ec)) {
    if (entry.path().extension() != ".gif") continue;
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(gifbuild::ReadFileBytes(entry.path().string(), bytes));
    SCOPED_TRACE(entry.path().string());
    EXPECT_GT(CompareFrames(bytes, "sample"), 1);
    ++compared;
  }
  EXPECT_GE(compared, 3);
}
