// The GIF decoder on its own: why it stops, and the control data each frame
// carries (and does not carry on to the next).
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "gif/gif_decoder.h"
#include "support/gif_builder.h"
#include "support/gif_convert.h"

using gifbuild::GifBuilder;
using gifbuild::ImageDescriptor;

namespace {

struct Walk {
  GifStatus opened = GifStatus::kEnd;
  std::vector<GifFrame> frames;
  GifStatus stop = GifStatus::kFrame;
};

Walk WalkAll(const std::vector<uint8_t>& bytes) {
  Walk w;
  auto d = std::make_unique<GifDecoder>();
  w.opened = OpenGifMemory(*d, bytes.data(), bytes.size(), true, nullptr);
  if (w.opened != GifStatus::kFrame) return w;
  GifFrame f;
  while ((w.stop = NextFrame(*d, f)) == GifStatus::kFrame) w.frames.push_back(f);
  return w;
}

}  // namespace

TEST(GifDecoder, SaysWhyItStopped) {
  const std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', 13, 10, 26, 10};
  EXPECT_EQ(WalkAll(png).opened, GifStatus::kNotGif);
  auto d = std::make_unique<GifDecoder>();
  EXPECT_EQ(OpenGif(*d, "no such file.gif", true, nullptr), GifStatus::kCannotOpen);

  // Two frames, then an image wider than the screen: the two are handed out.
  GifBuilder wide(8, 6, Palette(4));
  wide.Image(ImageDescriptor{0, 0, 8, 6}, Stripes(8, 6, 4));
  wide.Image(ImageDescriptor{2, 2, 3, 3}, Stripes(3, 3, 4));
  wide.Image(ImageDescriptor{0, 0, 9, 6}, Stripes(9, 6, 4));
  wide.Image(ImageDescriptor{0, 0, 8, 6}, Stripes(8, 6, 4));
  wide.Trailer();
  Walk w = WalkAll(wide.Bytes());
  EXPECT_EQ(w.frames.size(), 2u);
  EXPECT_EQ(w.stop, GifStatus::kImageTooLarge);

  // A screen past the raster limit stops at its first image.
  GifBuilder huge(65535, 65535, Palette(2));
  huge.Image(ImageDescriptor{0, 0, 1, 1}, {1});
  huge.Trailer();
  w = WalkAll(huge.Bytes());
  EXPECT_TRUE(w.frames.empty());
  EXPECT_EQ(w.stop, GifStatus::kScreenTooLarge);

  // A descriptor cut short is the end of the stream, not an error.
  std::vector<uint8_t> cut = wide.Bytes();
  cut.resize(wide.Images()[1].descriptorOffset + 4);
  w = WalkAll(cut);
  EXPECT_EQ(w.frames.size(), 1u);
  EXPECT_EQ(w.stop, GifStatus::kEnd);
}

TEST(GifDecoder, ControlDataBelongsToTheNextImageOnly) {
  GifBuilder gif(4, 4, Palette(4));
  gif.GraphicControl(7, 2, 3);
  gif.GraphicControl(9, 3, 1);  // a second block: later values, both indices
  gif.Image(ImageDescriptor{0, 0, 4, 4}, Stripes(4, 4, 4));
  gif.Image(ImageDescriptor{1, 1, 2, 2, true, Palette(2)}, {1, 0, 0, 1});
  gif.Trailer();
  Walk w = WalkAll(gif.Bytes());
  ASSERT_EQ(w.frames.size(), 2u);
  EXPECT_EQ(w.stop, GifStatus::kEnd);
  const GifFrame& a = w.frames[0];
  EXPECT_EQ(a.delay, 9);
  EXPECT_EQ(a.disposal, 3);
  ASSERT_EQ(a.transparentCount, 2);
  EXPECT_EQ(a.transparent[0], 3);
  EXPECT_EQ(a.transparent[1], 1);
  EXPECT_EQ(a.tableBits, 2);
  const GifFrame& b = w.frames[1];
  EXPECT_EQ(b.delay, 0);
  EXPECT_EQ(b.disposal, 0);
  EXPECT_EQ(b.transparentCount, 0);
  EXPECT_TRUE(b.interlaced);
  EXPECT_EQ(b.tableBits, 1);
  EXPECT_EQ(b.left, 1);
  EXPECT_EQ(b.pixels.end, LzwEnd::kComplete);
}
