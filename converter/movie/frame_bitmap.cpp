#include "frame_bitmap.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "../swf/geometry.h"

namespace {

// Every byte of p[0, n) is v: the first one is, and each equals the next.
// memcmp rather than a loop: it is vectorised, and a fuzzing build does not
// trace each byte compared.
bool AllBytesAre(const uint8_t* p, size_t n, int v) {
  return n == 0 || (p[0] == v && std::memcmp(p, p + 1, n - 1) == 0);
}

// Bytes [from, from + n) of row match the reference index, or without one,
// the same bytes of the top row.
bool SpanBlank(const uint8_t* top, const uint8_t* row, size_t from, size_t n, int ref) {
  return ref >= 0 ? AllBytesAre(row + from, n, ref) : std::memcmp(row + from, top + from, n) == 0;
}

bool RowBlank(const uint8_t* screen, int32_t stride, int32_t y, int32_t width, int ref) {
  const uint8_t* row = screen + static_cast<size_t>(y) * stride;
  return AllBytesAre(row, static_cast<size_t>(width), ref >= 0 ? ref : row[0]);
}

bool AllocatePixels(FrameBitmap& out, int32_t width, int32_t height) {
  size_t stride = static_cast<size_t>(width) + RowPadding(width);
  size_t bytes = stride * static_cast<size_t>(height);
  if (bytes > out.pixelCapacity) {
    out.ReleasePixels();
    out.pixels.reset(new (std::nothrow) uint8_t[bytes]);
    if (!out.pixels) return false;
    out.pixelCapacity = bytes;
  }
  // Not cleared: the caller writes every row and its padding.
  out.pixelBytes = bytes;
  return true;
}

// A frame with no pixels on the screen still needs a bitmap: one invisible pixel.
int BuildEmptyFrame(int32_t characterId, FrameBitmap& out) {
  std::memset(out.colourTable, 0, sizeof out.colourTable);
  out.numColours = 2;
  out.colourEntrySize = 4;
  out.characterId = characterId;
  out.format = kBitmapFormatColourMapped;
  out.width = out.height = 1;
  out.left = out.top = 0;
  if (!AllocatePixels(out, 1, 1)) return 0;
  std::memset(out.pixels.get(), 0, out.pixelBytes);
  return 1;
}

}  // namespace

// The column edges are found row by row: a scan down each column of a large
// screen misses the cache on every pixel. A column is blank when each of its
// pixels equals the reference index, or without one, its own top pixel.
int FindLeftEdge(const uint8_t* screen, int32_t stride, int32_t width, int32_t height, int ref) {
  int32_t edge = width;  // no pixel differs left of this column so far
  for (int32_t y = 0; y < height && edge > 0; ++y) {
    const uint8_t* row = screen + static_cast<size_t>(y) * stride;
    if (SpanBlank(screen, row, 0, static_cast<size_t>(edge), ref)) continue;
    for (int32_t x = 0; x < edge; ++x) {
      if (row[x] != (ref >= 0 ? ref : screen[x])) {
        edge = x;
        break;
      }
    }
  }
  return edge < width ? edge : -1;
}

int FindRightEdge(const uint8_t* screen, int32_t stride, int32_t width, int32_t height, int ref) {
  int32_t edge = -1;  // no pixel differs right of this column so far
  for (int32_t y = 0; y < height && edge < width - 1; ++y) {
    const uint8_t* row = screen + static_cast<size_t>(y) * stride;
    if (SpanBlank(screen, row, static_cast<size_t>(edge + 1), static_cast<size_t>(width - 1 - edge), ref)) continue;
    for (int32_t x = width - 1; x > edge; --x) {
      if (row[x] != (ref >= 0 ? ref : screen[x])) {
        edge = x;
        break;
      }
    }
  }
  return edge;
}

int FindTopEdge(const uint8_t* screen, int32_t stride, int32_t width, int32_t height, int ref) {
  for (int32_t y = 0; y < height; ++y)
    if (!RowBlank(screen, stride, y, width, ref)) return y;
  return -1;
}

int FindBottomEdge(const uint8_t* screen, int32_t stride, int32_t width, int32_t height, int ref) {
  for (int32_t y = height - 1; y >= 0; --y)
    if (!RowBlank(screen, stride, y, width, ref)) return y;
  return -1;
}

namespace {

// The frame's part of the screen, in screen pixels.
struct FrameArea {
  int32_t left = 0, top = 0, width = 0, height = 0;
};

// Colour table. Transparent indices past the table widen it, so that pixels
// of those indices still come out transparent.
void FillColourTable(const FrameSource& src, FrameBitmap& out) {
  int32_t numColours = std::max(src.numColours, 1);
  for (int32_t i = 0; i < src.transparentCount; ++i) numColours = std::max(numColours, src.transparent[i] + 1);
  numColours = std::min(std::max(numColours, 2), 256);
  bool alpha = src.transparentCount > 0;
  out.colourEntrySize = alpha ? 4 : 3;
  for (int32_t i = 0; i < numColours; ++i) {
    uint8_t* e = out.colourTable + i * out.colourEntrySize;
    bool known = i < src.numColours && i < 256;
    e[0] = known ? src.colours[i * 3] : 0;
    e[1] = known ? src.colours[i * 3 + 1] : 0;
    e[2] = known ? src.colours[i * 3 + 2] : 0;
    if (alpha) e[3] = 255;
  }
  for (int32_t i = 0; i < src.transparentCount; ++i) {
    int32_t t = src.transparent[i];
    if (t < numColours) std::memset(out.colourTable + t * 4, 0, 4);
  }
  out.numColours = numColours;
}

// Crops a full-screen frame to what differs from its background.
void CropToChanges(const FrameSource& src, int referenceIndex, FrameArea& area) {
  if (src.left != 0 || src.top != 0 || src.width != src.screenWidth || src.height != src.screenHeight) return;
  int l = FindLeftEdge(src.screen, src.screenStride, area.width, area.height, referenceIndex);
  int t = FindTopEdge(src.screen, src.screenStride, area.width, area.height, referenceIndex);
  if (l < 0 || t < 0) {
    area.width = area.height = 1;  // nothing differs: keep the corner pixel
    return;
  }
  int r = FindRightEdge(src.screen, src.screenStride, area.width, area.height, referenceIndex);
  int b = FindBottomEdge(src.screen, src.screenStride, area.width, area.height, referenceIndex);
  area.left = l;
  area.top = t;
  area.width = r - l + 1;
  area.height = b - t + 1;
}

// Copies the area's rows into the bitmap's padded rows, inside a one-pixel
// frame of the first transparent index when border is set.
void CopyRows(const FrameSource& src, const FrameArea& area, bool border, FrameBitmap& out) {
  const int32_t outWidth = out.width, outHeight = out.height;
  size_t outStride = static_cast<size_t>(outWidth) + RowPadding(outWidth);
  uint8_t* dst = out.pixels.get();
  const uint8_t* from = src.screen + static_cast<size_t>(area.top) * src.screenStride + area.left;
  const size_t width = static_cast<size_t>(area.width);
  if (border) {
    uint8_t edge = src.transparent[0];
    std::memset(dst, edge, static_cast<size_t>(outWidth));
    for (int32_t y = 0; y < area.height; ++y) {
      uint8_t* row = dst + (static_cast<size_t>(y) + 1) * outStride;
      row[0] = edge;
      std::memcpy(row + 1, from + static_cast<size_t>(y) * src.screenStride, width);
      row[width + 1] = edge;
    }
    std::memset(dst + (static_cast<size_t>(outHeight) - 1) * outStride, edge, static_cast<size_t>(outWidth));
  } else {
    for (int32_t y = 0; y < area.height; ++y)
      std::memcpy(dst + static_cast<size_t>(y) * outStride, from + static_cast<size_t>(y) * src.screenStride, width);
  }
  const size_t padding = outStride - static_cast<size_t>(outWidth);
  if (padding > 0)
    for (int32_t y = 0; y < outHeight; ++y) std::memset(dst + static_cast<size_t>(y) * outStride + outWidth, 0, padding);
}

}  // namespace

bool BuildFrameBitmap(const FrameSource& src, int referenceIndex, int32_t optimiseCanvas,
                      int32_t borderCorrection, int32_t characterId, FrameBitmap& out) {
  out.pixelBytes = 0;

  // The part of the image rectangle that lies on the screen.
  int64_t x0 = std::max<int64_t>(src.left, 0), y0 = std::max<int64_t>(src.top, 0);
  int64_t x1 = std::min<int64_t>(static_cast<int64_t>(src.left) + src.width, src.screenWidth);
  int64_t y1 = std::min<int64_t>(static_cast<int64_t>(src.top) + src.height, src.screenHeight);
  if (!src.screen || x1 <= x0 || y1 <= y0) return BuildEmptyFrame(characterId, out);
  FrameArea area;
  area.left = static_cast<int32_t>(x0);
  area.top = static_cast<int32_t>(y0);
  area.width = static_cast<int32_t>(x1 - x0);
  area.height = static_cast<int32_t>(y1 - y0);

  FillColourTable(src, out);
  if (optimiseCanvas) CropToChanges(src, referenceIndex, area);

  // A bitmap side holds at most 65535 pixels; a frame that large goes without.
  constexpr int32_t kMaxSide = 65535;
  bool border = borderCorrection && src.transparentCount > 0 && area.width <= kMaxSide - 2 &&
                area.height <= kMaxSide - 2;
  int32_t outWidth = border ? area.width + 2 : area.width;
  int32_t outHeight = border ? area.height + 2 : area.height;
  if (!AllocatePixels(out, outWidth, outHeight)) return false;
  out.width = outWidth;
  out.height = outHeight;
  CopyRows(src, area, border, out);
  out.characterId = characterId;
  out.format = kBitmapFormatColourMapped;
  out.left = border ? area.left - 1 : area.left;
  out.top = border ? area.top - 1 : area.top;
  return true;
}

void BuildFrameShape(const FrameBitmap& b, RectangleShape& s) {
  s.xmin = b.left * 20;
  s.ymin = b.top * 20;
  s.xmax = (b.left + b.width) * 20;
  s.ymax = (b.top + b.height) * 20;
  s.fillBits = 2;
  s.lineBits = 0;
  s.lineStyleCount = 0;
  s.fillStyle0 = 0;
  s.lineStyle = 0;
  s.moveToX = s.xmax;
  s.moveToY = s.ymax;
  SwfMatrix scaled;
  scaled.hasScale = 1;
  scaled.scaleX = scaled.scaleY = 20 << 16;
  if (b.left == 0 && b.top == 0) {
    s.fillStyleCount = 1;
    s.fillBitmapIds[0] = b.characterId;
    s.fillMatrices[0] = scaled;
    s.fillStyle1 = 1;
  } else {
    s.fillStyleCount = 2;
    s.fillBitmapIds[0] = kNoBitmapId;
    s.fillMatrices[0] = scaled;
    s.fillBitmapIds[1] = b.characterId;
    s.fillMatrices[1] = scaled;
    s.fillMatrices[1].translateX = b.left * 20;
    s.fillMatrices[1].translateY = b.top * 20;
    s.fillStyle1 = 2;
  }
}
