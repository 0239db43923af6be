// Cutting a decoded frame out of the screen raster into a movie bitmap
// (border and crop included), and the rectangle shape that shows it.
#pragma once
#include <cstddef>
#include <cstdint>

#include "../swf/bitmap_tag.h"
#include "../swf/shape_tag.h"

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
// cropping, or kNoReferenceIndex. False when the pixels cannot be
// allocated.
[[nodiscard]] bool BuildFrameBitmap(const FrameSource& src, int referenceIndex, int32_t optimiseCanvas,
                     int32_t borderCorrection, int32_t characterId, FrameBitmap& out);

// Edge scans over a full-screen frame (frame width x height from the screen
// origin); each returns a column or row, or -1 when every line is blank.
[[nodiscard]] int FindLeftEdge(const uint8_t* screen, int32_t stride, int32_t width, int32_t height, int referenceIndex);
[[nodiscard]] int FindRightEdge(const uint8_t* screen, int32_t stride, int32_t width, int32_t height, int referenceIndex);
[[nodiscard]] int FindTopEdge(const uint8_t* screen, int32_t stride, int32_t width, int32_t height, int referenceIndex);
[[nodiscard]] int FindBottomEdge(const uint8_t* screen, int32_t stride, int32_t width, int32_t height, int referenceIndex);

void BuildFrameShape(const FrameBitmap& b, RectangleShape& shape);
