// DefineBitsLossless / DefineBitsLossless2 for one 8-bit colour-mapped frame.
#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

constexpr int kBitmapFormatColourMapped = 3;

// One frame's 8-bit colour-mapped bitmap: rows of width + RowPadding(width)
// bytes, top row first, its colour table, and where it stands on the stage.
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

struct SwfWriter;
struct BitmapCompressor;

// Appends the bitmap tag, zlib-compressed at `level` with the writer's
// compressor. False when the tag could not be composed (nothing appended,
// body marked incomplete).
bool WriteBitmap(SwfWriter& w, const FrameBitmap& bitmap, int level);

// Compressed output of ComposeBitmapPieces collects in the compressor's
// buffer, this large, before it is copied out at its exact size.
constexpr size_t kBitmapScratchBytes = 32 * 1024;

// A bitmap tag composed away from the movie, on a compression thread. The
// rows are a copy in pieces, each freed once deflate has taken it in, and the
// body comes out in pieces of the exact size made: a frame in flight holds
// about its own size whether it waits, is being compressed or is done.
struct BitmapPieces {
  struct Piece {
    std::unique_ptr<uint8_t[]> data;
    size_t size = 0;
  };
  int32_t characterId = 0;
  int32_t width = 0, height = 0;
  int32_t numColours = 0;
  int32_t colourEntrySize = 3;
  uint8_t colourTable[256 * 4] = {0};
  std::vector<Piece> rows;  // padded rows, top first
  std::vector<Piece> body;  // when composed: the 8 field bytes and the zlib stream
  size_t bodyLength = 0;
};

// Copies the bitmap (fields, table, rows) into pieces. False when
// WriteBitmap would refuse the bitmap or memory runs out.
[[nodiscard]] bool SplitBitmap(const FrameBitmap& bitmap, BitmapPieces& out);
// Composes the tag body as WriteBitmap does, byte for byte, with the given
// compressor (its output buffer serves as scratch). stop (may be null) is
// looked at between pieces; once set, composing ends with false. False also
// on a zlib error or lack of memory.
[[nodiscard]] bool ComposeBitmapPieces(BitmapCompressor& compressor, int level, const std::atomic<bool>* stop, BitmapPieces& p);
// Appends the composed tag (6-byte header, then the body pieces).
void AppendBitmapPieces(SwfWriter& w, const BitmapPieces& p);
