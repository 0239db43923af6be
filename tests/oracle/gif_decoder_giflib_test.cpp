// The GIF decoder walked frame by frame over GIFs that other programs made,
// against giflib: screen, frame rectangles, colour table in force, graphic
// control data, loop count and the decoded pixels on the screen.
#include <gif_lib.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "gif/gif_decoder.h"

namespace {

// The NETSCAPE2.0 loop count among giflib's saved extension blocks, or -1.
int GiflibLoopCount(const ExtensionBlock* blocks, int count, int found) {
  for (int i = 0; i + 1 < count; ++i) {
    const ExtensionBlock& b = blocks[i];
    const ExtensionBlock& next = blocks[i + 1];
    if (b.Function == APPLICATION_EXT_FUNC_CODE && b.ByteCount == 11 &&
        std::memcmp(b.Bytes, "NETSCAPE2.0", 11) == 0 && next.Function == CONTINUE_EXT_FUNC_CODE &&
        next.ByteCount >= 3)
      found = next.Bytes[1] | (next.Bytes[2] << 8);
  }
  return found;
}

// Compares every frame; returns the number compared, or -1 when giflib
// refuses the file.
int CompareWithGiflib(const std::string& path) {
  int error = 0;
  GifFileType* gif = DGifOpenFileName(path.c_str(), &error);
  if (!gif) return -1;
  if (DGifSlurp(gif) != GIF_OK) {
    DGifCloseFile(gif, &error);
    return -1;
  }
  auto d = std::make_unique<GifDecoder>();
  EXPECT_EQ(OpenGif(*d, path.c_str(), true, nullptr), GifStatus::kFrame);
  EXPECT_EQ(d->screen.width, gif->SWidth);
  EXPECT_EQ(d->screen.height, gif->SHeight);
  EXPECT_EQ(d->screen.globalTableBits != 0, gif->SColorMap != nullptr);
  int loop = -1;
  int compared = 0;
  for (int i = 0; i < gif->ImageCount; ++i) {
    const SavedImage& im = gif->SavedImages[i];
    const GifImageDesc& desc = im.ImageDesc;
    GifFrame f;
    if (NextFrame(*d, f) != GifStatus::kFrame) {
      ADD_FAILURE() << "frame " << i << " missing";
      break;
    }
    EXPECT_EQ(f.left, desc.Left);
    EXPECT_EQ(f.top, desc.Top);
    EXPECT_EQ(f.width, desc.Width);
    EXPECT_EQ(f.height, desc.Height);
    EXPECT_EQ(f.interlaced, desc.Interlace);

    const ColorMapObject* map = desc.ColorMap ? desc.ColorMap : gif->SColorMap;
    if (map) {
      EXPECT_EQ(1 << f.tableBits, map->ColorCount) << "frame " << i;
      for (int c = 0; c < map->ColorCount; ++c) {
        EXPECT_EQ(f.colours[c * 3], map->Colors[c].Red);
        EXPECT_EQ(f.colours[c * 3 + 1], map->Colors[c].Green);
        EXPECT_EQ(f.colours[c * 3 + 2], map->Colors[c].Blue);
      }
    }

    GraphicsControlBlock gcb{};
    if (DGifSavedExtensionToGCB(gif, i, &gcb) == GIF_OK) {
      EXPECT_EQ(f.delay, gcb.DelayTime) << "frame " << i;
      EXPECT_EQ(f.disposal, gcb.DisposalMode) << "frame " << i;
      if (gcb.TransparentColor == NO_TRANSPARENT_COLOR) {
        EXPECT_EQ(f.transparentCount, 0) << "frame " << i;
      } else {
        EXPECT_GE(f.transparentCount, 1) << "frame " << i;
        EXPECT_EQ(f.transparent[0], gcb.TransparentColor) << "frame " << i;
      }
    } else {
      EXPECT_EQ(f.delay, 0);
      EXPECT_EQ(f.disposal, 0);
      EXPECT_EQ(f.transparentCount, 0);
    }

    // The loop count known once this frame is read.
    loop = GiflibLoopCount(im.ExtensionBlocks, im.ExtensionBlockCount, loop);
    EXPECT_EQ(d->loopCount, loop) << "frame " << i;

    // Every position of the rectangle that lies on the screen.
    EXPECT_EQ(f.pixels.pixelsFilled, 0) << "frame " << i;
    size_t differ = 0;
    for (int y = std::max(0, -desc.Top); y < desc.Height && desc.Top + y < gif->SHeight; ++y)
      for (int x = std::max(0, -desc.Left); x < desc.Width && desc.Left + x < gif->SWidth; ++x)
        if (f.screen[static_cast<size_t>(desc.Top + y) * f.screenStride + desc.Left + x] !=
            im.RasterBits[static_cast<size_t>(y) * desc.Width + x])
          ++differ;
    EXPECT_EQ(differ, 0u) << "frame " << i;
    ++compared;
  }
  GifFrame after;
  EXPECT_EQ(NextFrame(*d, after), GifStatus::kEnd);
  EXPECT_EQ(d->loopCount, GiflibLoopCount(gif->ExtensionBlocks, gif->ExtensionBlockCount, loop));
  DGifCloseFile(gif, &error);
  return compared;
}

}  // namespace

TEST(GifDecoderGiflib, RealFilesFrameByFrame) {
  int files = 0, frames = 0;
  for (const auto& entry : std::filesystem::directory_iterator(TERVANO_SOURCE_DIR "/tests/fixtures/gifs")) {
    if (entry.path().extension() != ".gif") continue;
    SCOPED_TRACE(entry.path().filename().string());
    int n = CompareWithGiflib(entry.path().string());
    if (n < 0) continue;
    ++files;
    frames += n;
  }
  // Every fixture giflib reads (all of them today), with their 240 frames.
  EXPECT_GE(files, 16);
  EXPECT_GE(frames, 200);
}
