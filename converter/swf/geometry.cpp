#include "geometry.h"

#include <algorithm>

#include "bit_writer.h"

void WriteRect(int32_t xmin, int32_t ymin, int32_t xmax, int32_t ymax, TagBuffer& buf) {
  int32_t lo = std::min(std::min(xmin, xmax), std::min(ymin, ymax));
  int32_t hi = std::max(std::max(xmin, xmax), std::max(ymin, ymax));
  int n = SignedBitCount(lo, hi);
  BitWriter bits;
  ResetBits(bits, buf);
  PutBits(bits, 5, static_cast<uint32_t>(n));
  PutSignedBits(bits, n, xmin);
  PutSignedBits(bits, n, xmax);
  PutSignedBits(bits, n, ymin);
  PutSignedBits(bits, n, ymax);
  AlignBits(bits);
}

void WriteMatrix(const SwfMatrix& m, TagBuffer& buf) {
  BitWriter bits;
  ResetBits(bits, buf);
  PutBits(bits, 1, m.hasScale ? 1 : 0);
  if (m.hasScale) {
    int n = SignedBitCount(m.scaleX, m.scaleY);
    PutBits(bits, 5, static_cast<uint32_t>(n));
    PutSignedBits(bits, n, m.scaleX);
    PutSignedBits(bits, n, m.scaleY);
  }
  PutBits(bits, 1, m.hasRotate ? 1 : 0);
  if (m.hasRotate) {
    int n = SignedBitCount(m.rotateSkew0, m.rotateSkew1);
    PutBits(bits, 5, static_cast<uint32_t>(n));
    PutSignedBits(bits, n, m.rotateSkew0);
    PutSignedBits(bits, n, m.rotateSkew1);
  }
  int n = SignedBitCount(m.translateX, m.translateY);
  PutBits(bits, 5, static_cast<uint32_t>(n));
  PutSignedBits(bits, n, m.translateX);
  PutSignedBits(bits, n, m.translateY);
  AlignBits(bits);
}
