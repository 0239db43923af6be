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
constexpr size_t kChunkBytes = 32 * 1024;

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

void PutBitmapFields(const FrameBitmap& b, TagBuffer& body) {
  PutU16(static_cast<uint32_t>(b.characterId), body);
  PutU8(kBitmapFormatColourMapped, body);
  PutU16(static_cast<uint32_t>(b.width), body);
  PutU16(static_cast<uint32_t>(b.height), body);
  PutU8(static_cast<uint32_t>(b.numColours - 1), body);
}

int TagCode(const FrameBitmap& b) { return b.colourEntrySize == 4 ? kTagDefineBitsLossless2 : kTagDefineBitsLossless; }

}  // namespace

bool BitmapWritable(const FrameBitmap& b) {
  size_t tableBytes = 0, rowBytes = 0;
  return BitmapSizes(b, tableBytes, rowBytes);
}

int WriteBitmap(SwfWriter& w, const FrameBitmap& b, int level) {
  size_t tableBytes = 0, rowBytes = 0;
  if (!BitmapSizes(b, tableBytes, rowBytes)) {
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
  PutBitmapFields(b, body);
  if (!body.ok() || !CompressBitmapData(s.stream, b, tableBytes, rowBytes, body)) {
    // No tag for this bitmap; the movie cannot be complete without it.
    MarkBodyFailed(w);
    return 0;
  }
  return AppendTag(w, TagCode(b), body, true);
}

int ComposeBitmapBody(BitmapCompressor& s, const FrameBitmap& b, int level, const std::atomic<bool>* stop,
                      ChunkedBody& out) {
  out = ChunkedBody();
  size_t tableBytes = 0, rowBytes = 0;
  if (!BitmapSizes(b, tableBytes, rowBytes) || !ReadyStream(s, level)) return 0;
  // The same worst case as WriteBitmap's one buffer: a stream that would not
  // fit there fails here too.
  size_t bound = kBitmapFieldBytes + deflateBound(&s.stream, static_cast<uLong>(tableBytes + rowBytes));
  z_stream& z = s.stream;
  // The same calls as WriteBitmap (table, then rows with finish), so the
  // stream is the same byte for byte; only the output room comes in pieces.
  // The first chunk holds the fields and the whole table.
  z.next_in = const_cast<Bytef*>(b.colourTable);
  z.avail_in = static_cast<uInt>(tableBytes);
  int flush = Z_NO_FLUSH;
  int rc = Z_OK;
  for (;;) {
    if (out.chunks.empty() || out.chunks.back().size == out.chunks.back().capacity) {
      if (stop && stop->load(std::memory_order_relaxed)) return 0;
      size_t room = bound - out.length;
      if (room == 0) return 0;
      ChunkedBody::Chunk c;
      c.capacity = room < kChunkBytes ? room : kChunkBytes;
      c.data.reset(new (std::nothrow) uint8_t[c.capacity]);
      if (!c.data) return 0;
      out.chunks.push_back(std::move(c));
      if (out.chunks.size() == 1) {
        TagBuffer fields(out.chunks[0].data.get(), out.chunks[0].capacity);
        PutBitmapFields(b, fields);
        if (!fields.ok()) return 0;
        out.chunks[0].size = fields.position;
        out.length = fields.position;
      }
    }
    ChunkedBody::Chunk& c = out.chunks.back();
    z.next_out = c.data.get() + c.size;
    z.avail_out = static_cast<uInt>(c.capacity - c.size);
    rc = deflate(&z, flush);
    size_t made = c.capacity - c.size - z.avail_out;
    c.size += made;
    out.length += made;
    if (flush == Z_NO_FLUSH) {
      if (rc != Z_OK || z.avail_in != 0) return 0;
      z.next_in = b.pixels.get();
      z.avail_in = static_cast<uInt>(rowBytes);
      flush = Z_FINISH;
    } else if (rc != Z_OK) {
      break;
    }
  }
  if (rc != Z_STREAM_END) return 0;
  out.code = TagCode(b);
  return 1;
}

int AppendChunkedTag(SwfWriter& w, const ChunkedBody& body) {
  uint8_t header[6];
  TagBuffer h(header, sizeof header);
  PutTagHeader(body.code, h, static_cast<uint32_t>(body.length), true);
  AppendBody(w, h.data, h.position);
  for (const ChunkedBody::Chunk& c : body.chunks) AppendBody(w, c.data.get(), c.size);
  return 1;
}
