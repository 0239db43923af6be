// Row padding of 8-bit rasters, RECT and MATRIX records.
#pragma once
#include <cstdint>
#include "tag_buffer.h"

// Bytes (0..3) that bring a row of `width` bytes to a multiple of 4.
inline int RowPadding(int32_t width) { return (4 - (width & 3)) & 3; }

void WriteRect(int32_t xmin, int32_t ymin, int32_t xmax, int32_t ymax, TagBuffer& buf);

struct SwfMatrix {
  uint8_t hasScale = 0;
  uint8_t hasRotate = 0;
  int32_t scaleX = 0, scaleY = 0;          // 16.16 fixed point
  int32_t rotateSkew0 = 0, rotateSkew1 = 0;  // 16.16 fixed point
  int32_t translateX = 0, translateY = 0;  // twips
};

void WriteMatrix(const SwfMatrix& m, TagBuffer& buf);
