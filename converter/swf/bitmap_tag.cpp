#include "bitmap_tag.h"

#include <zlib.h>

#include <cstring>
#include <new>

#include "swf_writer.h"
#include "geometry.h"
#include "tag_buffer.h"

namespace {

constexpr int kTagDefineBitsLossless = 20;
constexpr int kTagDefineBitsLossless2 = 36;
constexpr size_t kBitmapFieldBytes = 8;
// Rows are copied in pieces of this size; a piece is freed once compressed.
constexpr size_t kRowPieceBytes = 16 * 1024;
constexpr size_t kScratchBytes = kBitmapScratchBytes;

bool ReadyStream(BitmapCompressor& s, int level) {
  if (s.level == level) return deflateReset(&s.stream) == Z_OK;
  if (s.level >= 0) deflateEnd(&s.stream);
  s.stream = z_stream{};
  s.level = -1;
  if (deflateInit(&s.stream, level) != Z_OK) return false;
  s.level = level;
  return true;
}

uint8_t* ReadyOutput(BitmapCompressor& s, size_t bytes) {
  if (bytes > s.outCapacity) {
    s.out.reset();
    s.outCapacity = 0;
    s.out.reset(new (std::nothrow) uint8_t[bytes]);
    if (!s.out) return nullptr;
    s.outCapacity = bytes;
  }
  return s.out.get();
}

// Compresses colour table and rows as one zlib stream into out at its
// position. Returns false on any zlib error or lack of room.
bool CompressBitmapData(z_stream& z, const FrameBitmap& b, size_t tableBytes, size_t rowBytes, TagBuffer& out) {
  size_t room = out.capacity - out.position;
  z.next_out = out.data + out.position;
  z.avail_out = static_cast<uInt>(room);
  // The table and the rows are fed one after the other, so they are never
  // copied into one block first.
  z.next_in = const_cast<Bytef*>(b.colourTable);
  z.avail_in = static_cast<uInt>(tableBytes);
  int rc = deflate(&z, Z_NO_FLUSH);
  if (rc == Z_OK && rowBytes > 0) {
    z.next_in = b.pixels.get();
    z.avail_in = static_cast<uInt>(rowBytes);
  }
  while (rc == Z_OK) rc = deflate(&z, Z_FINISH);
  if (rc != Z_STREAM_END) return false;
  out.position += room - z.avail_out;
  return true;
}

bool BitmapSizes(const FrameBitmap& b, size_t& tableBytes, size_t& rowBytes) {
  if (b.width <= 0 || b.height <= 0 || b.width > 65535 || b.height > 65535 || b.numColours < 1 ||
      b.numColours > 256 || (b.colourEntrySize != 3 && b.colourEntrySize != 4))
    return false;
  size_t stride = static_cast<size_t>(b.width) + RowPadding(b.width);
  rowBytes = stride * static_cast<size_t>(b.height);
  tableBytes = static_cast<size_t>(b.numColours) * static_cast<size_t>(b.colourEntrySize);
  // A tag's length field is 32 bits; zlib takes its input in 32-bit counts.
  return b.pixels && b.pixelBytes >= rowBytes && rowBytes <= 0x7FFF0000u;
}

template <typename Bitmap>
void PutBitmapFields(const Bitmap& b, TagBuffer& body) {
  PutU16(static_cast<uint32_t>(b.characterId), body);
  PutU8(kBitmapFormatColourMapped, body);
  PutU16(static_cast<uint32_t>(b.width), body);
  PutU16(static_cast<uint32_t>(b.height), body);
  PutU8(static_cast<uint32_t>(b.numColours - 1), body);
}

int TagCode(int32_t colourEntrySize) {
  return colourEntrySize == 4 ? kTagDefineBitsLossless2 : kTagDefineBitsLossless;
}

// Moves what deflate made into the scratch buffer to the body, at its size.
bool TakeOutput(z_stream& z, uint8_t* scratch, BitmapPieces& p, size_t bound) {
  size_t made = kScratchBytes - z.avail_out;
  if (made > 0) {
    if (made > bound - p.bodyLength) return false;  // past WriteBitmap's buffer
    BitmapPieces::Piece piece;
    piece.data.reset(new (std::nothrow) uint8_t[made]);
    if (!piece.data) return false;
    std::memcpy(piece.data.get(), scratch, made);
    piece.size = made;
    p.body.push_back(std::move(piece));
    p.bodyLength += made;
  }
  z.next_out = scratch;
  z.avail_out = static_cast<uInt>(kScratchBytes);
  return true;
}

}  // namespace

bool WriteBitmap(SwfWriter& w, const FrameBitmap& b, int level) {
  size_t tableBytes = 0, rowBytes = 0;
  if (!BitmapSizes(b, tableBytes, rowBytes)) {
    MarkBodyFailed(w);
    return false;
  }
  BitmapCompressor& s = w.compressor;
  if (!ReadyStream(s, level)) {
    MarkBodyFailed(w);
    return false;
  }
  // deflateBound of the live stream is zlib's exact worst case for its settings.
  size_t bound = kBitmapFieldBytes + deflateBound(&s.stream, static_cast<uLong>(tableBytes + rowBytes));
  TagBuffer body(ReadyOutput(s, bound), bound);
  PutBitmapFields(b, body);
  if (!body.ok() || !CompressBitmapData(s.stream, b, tableBytes, rowBytes, body)) {
    // No tag for this bitmap; the movie cannot be complete without it.
    MarkBodyFailed(w);
    return false;
  }
  return AppendTag(w, TagCode(b.colourEntrySize), body, true);
}

bool SplitBitmap(const FrameBitmap& b, BitmapPieces& out) {
  out = BitmapPieces();
  size_t tableBytes = 0, rowBytes = 0;
  if (!BitmapSizes(b, tableBytes, rowBytes)) return false;
  out.characterId = b.characterId;
  out.width = b.width;
  out.height = b.height;
  out.numColours = b.numColours;
  out.colourEntrySize = b.colourEntrySize;
  std::memcpy(out.colourTable, b.colourTable, tableBytes);
  for (size_t at = 0; at < rowBytes; at += kRowPieceBytes) {
    BitmapPieces::Piece piece;
    piece.size = rowBytes - at < kRowPieceBytes ? rowBytes - at : kRowPieceBytes;
    piece.data.reset(new (std::nothrow) uint8_t[piece.size]);
    if (!piece.data) return false;
    std::memcpy(piece.data.get(), b.pixels.get() + at, piece.size);
    out.rows.push_back(std::move(piece));
  }
  return true;
}

bool ComposeBitmapPieces(BitmapCompressor& s, int level, const std::atomic<bool>* stop, BitmapPieces& p) {
  p.body.clear();
  p.bodyLength = 0;
  size_t tableBytes = static_cast<size_t>(p.numColours) * static_cast<size_t>(p.colourEntrySize);
  size_t rowBytes = 0;
  for (const BitmapPieces::Piece& piece : p.rows) rowBytes += piece.size;
  if (p.rows.empty() || !ReadyStream(s, level)) return false;
  size_t bound = kBitmapFieldBytes + deflateBound(&s.stream, static_cast<uLong>(tableBytes + rowBytes));
  uint8_t* scratch = ReadyOutput(s, kScratchBytes);
  if (!scratch) return false;
  TagBuffer fields(scratch, kScratchBytes);
  PutBitmapFields(p, fields);
  if (!fields.ok()) return false;
  z_stream& z = s.stream;
  z.next_out = scratch + fields.position;
  z.avail_out = static_cast<uInt>(kScratchBytes - fields.position);
  // As WriteBitmap: the table without flushing, then the rows, finishing
  // with the last of them. Where the input is cut does not change what
  // deflate makes of it.
  z.next_in = p.colourTable;
  z.avail_in = static_cast<uInt>(tableBytes);
  if (deflate(&z, Z_NO_FLUSH) != Z_OK || z.avail_in != 0) return false;
  for (size_t i = 0; i < p.rows.size(); ++i) {
    if (stop && stop->load(std::memory_order_relaxed)) return false;
    BitmapPieces::Piece& piece = p.rows[i];
    z.next_in = piece.data.get();
    z.avail_in = static_cast<uInt>(piece.size);
    const bool last = i + 1 == p.rows.size();
    int rc = Z_OK;
    for (;;) {
      if (z.avail_out == 0 && !TakeOutput(z, scratch, p, bound)) return false;
      rc = deflate(&z, last ? Z_FINISH : Z_NO_FLUSH);
      if (rc != Z_OK) break;
      if (!last && z.avail_in == 0) break;
    }
    if (last ? rc != Z_STREAM_END : rc != Z_OK) return false;
    // deflate keeps its own copy of what it still needs.
    piece.data.reset();
  }
  return TakeOutput(z, scratch, p, bound);
}

void AppendBitmapPieces(SwfWriter& w, const BitmapPieces& p) {
  uint8_t header[kMaxTagHeaderBytes];
  TagBuffer h(header, sizeof header);
  PutTagHeader(TagCode(p.colourEntrySize), h, static_cast<uint32_t>(p.bodyLength), true);
  AppendBody(w, h.data, h.position);
  for (const BitmapPieces::Piece& piece : p.body) AppendBody(w, piece.data.get(), piece.size);
}
