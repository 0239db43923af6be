#include "bitmap_tag.h"

#include <zlib.h>

#include <new>

#include "body_file.h"
#include "geometry.h"
#include "tag_buffer.h"

namespace {

constexpr int kTagDefineBitsLossless = 20;
constexpr int kTagDefineBitsLossless2 = 36;
constexpr size_t kBitmapFieldBytes = 8;

// One deflate stream and one tag buffer serve every bitmap of a conversion:
// setting up zlib's level-9 state and a frame-sized buffer anew for each
// frame costs more than compressing a small frame.
struct BitmapWriterState {
  z_stream z{};
  int level = -1;  // level the stream was made for; -1: none
  std::unique_ptr<uint8_t[]> out;
  size_t outCapacity = 0;
};

BitmapWriterState& State() {
  static BitmapWriterState state;
  return state;
}

bool ReadyStream(BitmapWriterState& s, int level) {
  if (s.level == level) return deflateReset(&s.z) == Z_OK;
  if (s.level >= 0) deflateEnd(&s.z);
  s.z = z_stream{};
  s.level = -1;
  if (deflateInit(&s.z, level) != Z_OK) return false;
  s.level = level;
  return true;
}

uint8_t* ReadyOutput(BitmapWriterState& s, size_t bytes) {
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

int WriteBitmap(const FrameBitmap& b, int level) {
  if (b.width <= 0 || b.height <= 0 || b.width > 65535 || b.height > 65535 || b.numColours < 1 ||
      b.numColours > 256 || (b.colourEntrySize != 3 && b.colourEntrySize != 4)) {
    MarkBodyFailed();
    return 0;
  }
  size_t stride = static_cast<size_t>(b.width) + RowPadding(b.width);
  size_t rowBytes = stride * static_cast<size_t>(b.height);
  size_t tableBytes = static_cast<size_t>(b.numColours) * static_cast<size_t>(b.colourEntrySize);
  // A tag's length field is 32 bits; zlib takes its input in 32-bit counts.
  if (!b.pixels || b.pixelBytes < rowBytes || rowBytes > 0x7FFF0000u) {
    MarkBodyFailed();
    return 0;
  }
  BitmapWriterState& s = State();
  if (!ReadyStream(s, level)) {
    MarkBodyFailed();
    return 0;
  }
  // deflateBound of the live stream is zlib's exact worst case for its settings.
  size_t bound = kBitmapFieldBytes + deflateBound(&s.z, static_cast<uLong>(tableBytes + rowBytes));
  TagBuffer body(ReadyOutput(s, bound), bound);
  PutU16(static_cast<uint32_t>(b.characterId), body);
  PutU8(kBitmapFormatColourMapped, body);
  PutU16(static_cast<uint32_t>(b.width), body);
  PutU16(static_cast<uint32_t>(b.height), body);
  PutU8(static_cast<uint32_t>(b.numColours - 1), body);
  if (!body.ok() || !CompressBitmapData(s.z, b, tableBytes, rowBytes, body)) {
    // No tag for this bitmap; the movie cannot be complete without it.
    MarkBodyFailed();
    return 0;
  }
  int code = b.colourEntrySize == 4 ? kTagDefineBitsLossless2 : kTagDefineBitsLossless;
  return AppendTag(code, body, true);
}

void ReleaseBitmapWriter() {
  BitmapWriterState& s = State();
  if (s.level >= 0) deflateEnd(&s.z);
  s.level = -1;
  s.out.reset();
  s.outCapacity = 0;
}
