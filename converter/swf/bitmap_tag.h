// DefineBitsLossless / DefineBitsLossless2 for one 8-bit colour-mapped frame.
#pragma once
#include <atomic>
#include <cstddef>
#include <memory>
#include <vector>

#include "../gif/frame_bitmap.h"

struct SwfWriter;
struct BitmapCompressor;

// Appends the bitmap tag, zlib-compressed at `level` with the writer's
// compressor. Returns 1, or 0 when the tag could not be composed (nothing
// appended, body marked incomplete).
int WriteBitmap(SwfWriter& w, const FrameBitmap& bitmap, int level);

// A bitmap tag's body composed away from the movie (on a compression
// thread): the 8 field bytes and the zlib stream, in chunks of at most a few
// tens of KiB, so a small frame holds little and a large one never needs one
// block of worst-case size.
struct ChunkedBody {
  struct Chunk {
    std::unique_ptr<uint8_t[]> data;
    size_t capacity = 0;
    size_t size = 0;
  };
  std::vector<Chunk> chunks;
  size_t length = 0;  // bytes in all chunks
  int code = 0;       // tag code
};

// Composes the body of the bitmap's tag with the given compressor, as
// WriteBitmap would. stop (may be null) is looked at between chunks; once
// set, composing ends with 0. Returns 1, or 0 on a bad bitmap, a zlib error
// or lack of memory.
int ComposeBitmapBody(BitmapCompressor& compressor, const FrameBitmap& bitmap, int level,
                      const std::atomic<bool>* stop, ChunkedBody& out);
// Appends the tag of a composed body (6-byte header, then the chunks).
// Returns 1.
int AppendChunkedTag(SwfWriter& w, const ChunkedBody& body);
// True when WriteBitmap can write this bitmap (sizes, colours, pixel bytes).
bool BitmapWritable(const FrameBitmap& bitmap);
