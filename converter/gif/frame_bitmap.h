// Cutting a decoded frame out of the screen buffer into a movie bitmap, and
// the rectangle shape that shows it.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>

#include "../swf/shape_tag.h"

constexpr int kBitmapFormatColourMapped = 3;

// One frame's movie bitmap: rows of width + RowPadding(width) bytes, top row
// first, and its colour table.
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

constexpr int kNoReferenceIndex = -1;

struct FrameSource {
  const uint8_t* screen = nullptr;
  int32_t screenStride = 0;
  int32_t screenWidth = 0, screenHeight = 0;
  const uint8_t* colours = nullptr;  // RGB entries
  int32_t numColours = 0;            // may include the border entry
  const uint8_t* transparent = nullptr;
  int32_t transparentCount = 0;
  int32_t left = 0, top = 0, width = 0, height = 0;  // image rectangle
};

// Fills every field of `out`. referenceIndex is the background index for
// cropping, or kNoReferenceIndex. Returns 1, or 0 when the pixels cannot be
// allocated.
int BuildFrameBitmap(const FrameSource& src, int referenceIndex, int32_t optimiseCanvas,
                     int32_t borderCorrection, int32_t characterId, FrameBitmap& out);

// Edge scans over a full-screen frame (frame width x height from the screen
// origin); each returns a column or row, or -1 when every line is blank.
int FindLeftEdge(const uint8_t* screen, int32_t stride, int32_t width, int32_t height, int referenceIndex);
int FindRightEdge(const uint8_t* screen, int32_t stride, int32_t width, int32_t height, int referenceIndex);
int FindTopEdge(const uint8_t* screen, int32_t stride, int32_t width, int32_t height, int referenceIndex);
int FindBottomEdge(const uint8_t* screen, int32_t stride, int32_t width, int32_t height, int referenceIndex);

void BuildFrameShape(const FrameBitmap& b, RectangleShape& shape);
