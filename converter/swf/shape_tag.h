// DefineShape rectangles: a frame bitmap's shape or a solid background rectangle.
#pragma once
#include <cstdint>
#include "geometry.h"

constexpr int kFillSolid = 0x00;
constexpr int kFillClippedBitmap = 0x41;
constexpr int kNoBitmapId = 65535;

struct RectangleShape {
  int32_t fillBits = 0;
  int32_t lineBits = 0;
  int32_t lineStyleCount = 0;
  int32_t fillStyleCount = 0;  // 1 or 2
  int32_t xmin = 0, ymin = 0, xmax = 0, ymax = 0;  // twips
  int32_t fillStyle0 = 0, fillStyle1 = 0, lineStyle = 0;
  int32_t moveToX = 0, moveToY = 0;  // twips, a corner of the bounds
  SwfMatrix fillMatrices[2];
  uint8_t solidColour[3] = {0, 0, 0};  // red, green, blue
  int32_t fillBitmapIds[2] = {0, 0};
};

struct SwfWriter;
// Appends a DefineShape with id shapeId. mode is the fill style type:
// kFillClippedBitmap for frames, kFillSolid for a background rectangle (which
// first turns `shape` into a one-style solid shape). False when the tag
// could not be composed (body marked incomplete).
bool WriteShape(SwfWriter& w, int mode, int shapeId, RectangleShape& shape);

struct BitWriter;
// The outline records of the rectangle, into an open bit run.
void WriteShapeRecords(BitWriter& bits, const RectangleShape& shape);
