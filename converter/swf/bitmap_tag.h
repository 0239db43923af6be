// DefineBitsLossless / DefineBitsLossless2 for one 8-bit colour-mapped frame.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>

constexpr int kBitmapFormatColourMapped = 3;

// One frame's bitmap: rows of width + RowPadding(width) bytes, top row first.
struct FrameBitmap {
  std::unique_ptr<uint8_t[]> pixels;
  size_t pixelBytes = 0;     // bytes of the current frame's rows
  size_t pixelCapacity = 0;  // the buffer is kept from frame to frame
  uint8_t colourTable[256 * 4] = {0};  // RGB or RGBA entries
  int32_t characterId = 0;
  int32_t format = kBitmapFormatColourMapped;
  int32_t width = 0, height = 0;
  int32_t left = 0, top = 0;
  int32_t numColours = 0;       // 2..256
  int32_t colourEntrySize = 3;  // 3: no alpha, 4: with alpha

  void ReleasePixels() {
    pixels.reset();
    pixelBytes = 0;
    pixelCapacity = 0;
  }
};

// Appends the bitmap tag, zlib-compressed at `level`. Returns 1, or 0 when the
// tag could not be composed (nothing appended, body marked incomplete).
int WriteBitmap(const FrameBitmap& bitmap, int level);
// Frees the compressor and buffer that WriteBitmap keeps between frames.
void ReleaseBitmapWriter();
