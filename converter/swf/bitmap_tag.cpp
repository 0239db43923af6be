#include "bitmap_tag.h"

#include <zlib.h>

#include <new>

#include "swf_writer.h"
#include "geometry.h"
#include "tag_buffer.h"

namespace {

constexpr int kTagDefineBitsLossless = 20;
constexpr int kTagDefineBitsLossless2 = 36;
constexpr size_t kBitmapFieldBytes = 8;

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

}  // namespace

int WriteBitmap(SwfWriter& w, const FrameBitmap& b, int level) {
  if (b.width <= 0 || b.height <= 0 || b.width > 65535 || b.height > 65535 || b.numColours < 1 ||
      b.numColours > 256 || (b.colourEntrySize != 3 && b.colourEntrySize != 4)) {
    MarkBodyFailed(w);
    return 0;
  }
  size_t stride = static_cast<size_t>(b.width) + RowPadding(b.width);
  size_t rowBytes = stride * static_cast<size_t>(b.height);
  size_t tableBytes = static_cast<size_t>(b.numColours) * static_cast<size_t>(b.colourEntrySize);
  // A tag's length field is 32 bits; zlib takes its input in 32-bit counts.
  if (!b.pixels || b.pixelBytes < rowBytes || rowBytes > 0x7FFF0000u) {
    MarkBodyFailed(w);
    return 0;
  }
  BitmapCompressor& s = w.compressor;
  if (!ReadyStream(s, level)) {
    MarkBodyFailed(w);
    return 0;
  }
  // deflateBound of the live stream is zlib's exact worst case for its settings.
  size_t bound = kBitmapFieldBytes + deflateBound(&s.stream, static_cast<uLong>(tableBytes + rowBytes));
  TagBuffer body(ReadyOutput(s, bound), bound);
  PutU16(static_cast<uint32_t>(b.characterId), body);
  PutU8(kBitmapFormatColourMapped, body);
  PutU16(static_cast<uint32_t>(b.width), body);
  PutU16(static_cast<uint32_t>(b.height), body);
  PutU8(static_cast<uint32_t>(b.numColours - 1), body);
  if (!body.ok() || !CompressBitmapData(s.stream, b, tableBytes, rowBytes, body)) {
    // No tag for this bitmap; the movie cannot be complete without it.
    MarkBodyFailed(w);
    return 0;
  }
  int code = b.colourEntrySize == 4 ? kTagDefineBitsLossless2 : kTagDefineBitsLossless;
  return AppendTag(w, code, body, true);
}
