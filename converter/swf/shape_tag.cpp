#include "shape_tag.h"

#include <cstdlib>

#include "bit_writer.h"
#include "swf_writer.h"
#include "tag_buffer.h"

namespace {

constexpr int kTagDefineShape = 2;
// A straight edge stores its bit count minus 2 in 4 bits: at most 17 bits,
// so one edge spans at most 65535 twips.
constexpr int32_t kMaxEdge = 65535;

void PutStraightEdge(BitWriter& bits, int32_t delta, bool vertical) {
  int n = SignedBitCount(delta, delta);
  PutBits(bits, 1, 1);  // edge record
  PutBits(bits, 1, 1);  // straight
  PutBits(bits, 4, static_cast<uint32_t>(n - 2));
  PutBits(bits, 1, 0);  // not a general line
  PutBits(bits, 1, vertical ? 1 : 0);
  PutSignedBits(bits, n, delta);
}

// One side of the rectangle; sides too long for one edge become several.
void PutSide(BitWriter& bits, int32_t delta, bool vertical) {
  int32_t step = delta < 0 ? -kMaxEdge : kMaxEdge;
  while (std::abs(delta) > kMaxEdge) {
    PutStraightEdge(bits, step, vertical);
    delta -= step;
  }
  if (delta != 0) PutStraightEdge(bits, delta, vertical);
}

}  // namespace

void WriteShapeRecords(BitWriter& bits, const RectangleShape& s) {
  bool moveTo = s.moveToX != 0 || s.moveToY != 0;
  PutBits(bits, 1, 0);  // style change record
  PutBits(bits, 1, 0);  // no new styles
  PutBits(bits, 1, s.lineStyle != 0);
  PutBits(bits, 1, s.fillStyle1 != 0);
  PutBits(bits, 1, s.fillStyle0 != 0);
  PutBits(bits, 1, moveTo);
  if (moveTo) {
    int n = SignedBitCount(s.moveToX, s.moveToY);
    PutBits(bits, 5, static_cast<uint32_t>(n));
    PutSignedBits(bits, n, s.moveToX);
    PutSignedBits(bits, n, s.moveToY);
  }
  if (s.fillStyle0 != 0) PutBits(bits, s.fillBits, static_cast<uint32_t>(s.fillStyle0));
  if (s.fillStyle1 != 0) PutBits(bits, s.fillBits, static_cast<uint32_t>(s.fillStyle1));
  if (s.lineStyle != 0) PutBits(bits, s.lineBits, static_cast<uint32_t>(s.lineStyle));

  // Around the bounds from the move-to corner: across, then up or down, back, and back.
  int32_t width = s.xmax - s.xmin;
  int32_t height = s.ymax - s.ymin;
  int32_t dx = s.moveToX == s.xmin ? width : -width;
  int32_t dy = s.moveToY == s.ymin ? height : -height;
  PutSide(bits, dx, false);
  PutSide(bits, dy, true);
  PutSide(bits, -dx, false);
  PutSide(bits, -dy, true);

  PutBits(bits, 6, 0);  // end of shape
}

bool WriteShape(SwfWriter& w, int mode, int shapeId, RectangleShape& s) {
  if (mode == kFillSolid) {
    s.lineStyleCount = 0;
    s.fillStyleCount = 1;
    s.fillBits = 1;
    s.lineBits = 0;
    s.fillStyle0 = 0;
    s.fillStyle1 = 1;
  }
  if (s.fillStyleCount < 1 || s.fillStyleCount > 2) {
    MarkBodyFailed(w);  // a movie without this shape would be wrong
    return false;
  }
  TagBuffer body;
  PutU16(static_cast<uint32_t>(shapeId), body);
  WriteRect(s.xmin, s.ymin, s.xmax, s.ymax, body);
  PutU8(static_cast<uint32_t>(s.fillStyleCount), body);
  for (int i = 0; i < s.fillStyleCount; ++i) {
    PutU8(static_cast<uint32_t>(mode), body);
    if (mode == kFillSolid) {
      PutBytes(s.solidColour, 3, body);
    } else {
      PutU16(static_cast<uint32_t>(s.fillBitmapIds[i]), body);
      WriteMatrix(s.fillMatrices[i], body);
    }
  }
  PutU8(static_cast<uint32_t>(s.lineStyleCount), body);  // no line styles
  BitWriter bits;
  ResetBits(bits, body);
  PutBits(bits, 4, static_cast<uint32_t>(s.fillBits));
  PutBits(bits, 4, static_cast<uint32_t>(s.lineBits));
  WriteShapeRecords(bits, s);
  AlignBits(bits);
  return AppendTag(w, kTagDefineShape, body, false);
}
