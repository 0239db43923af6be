// The movie writer of one conversion. The movie body is collected in a
// private temporary file (or in memory) while frames are written; the header
// (which needs the final length) is put in front at the end. Every tag writer
// takes the writer it appends to. A tag that cannot be composed marks the
// body incomplete (failed), and the assembly then refuses the movie, so
// callers of the tag writers need not look at their answers.
//
// Design: converter/swf writes SWF and knows no image format: a writer is
// passed to small tag functions (control_tags.h, shape_tag.h, bitmap_tag.h,
// link_button.h) that compose into a TagBuffer and append through
// WriteInOrder, the one ordered sink, which keeps tag bytes behind bitmaps
// still being compressed by the pool (bitmap_pool.h). It uses only
// converter/platform (the private temporary file) and zlib.
#pragma once
#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <atomic>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

// One deflate stream and one output buffer serve every bitmap of a movie:
// setting up zlib's level-9 state and a frame-sized buffer anew for each
// frame costs more than compressing a small frame.
struct BitmapCompressor {
  z_stream stream{};
  int level = -1;  // level the stream was made for; -1: none
  std::unique_ptr<uint8_t[]> out;
  size_t outCapacity = 0;

  BitmapCompressor() = default;
  ~BitmapCompressor() { Release(); }
  BitmapCompressor(const BitmapCompressor&) = delete;
  BitmapCompressor& operator=(const BitmapCompressor&) = delete;
  // Frees the stream and the buffer; the next bitmap makes them again.
  void Release();
};

// Compression threads of a writer (bitmap_pool.h); deleting one stops its
// threads first.
struct BitmapPool;
struct BitmapPoolDelete {
  void operator()(BitmapPool* pool) const;
};

struct SwfWriter {
  FILE* body = nullptr;
  char bodyPath[1024] = {0};
  bool bodyInMemory = false;  // the body is memoryBody, not a file
  std::vector<uint8_t> memoryBody;
  int32_t bodyLength = 0;
  bool failed = false;  // a write to the body went wrong; the movie is not complete
  std::string failReason;  // the system's reason for the first failed write
  BitmapCompressor compressor;
  // Null: each bitmap is compressed where it is written.
  std::unique_ptr<BitmapPool, BitmapPoolDelete> pool;
  // While bitmaps are being compressed on the pool's threads, the bytes of
  // the tags written after the newest of them wait here (the pool writes
  // them behind it); null when none is in flight. Set only by the pool.
  std::vector<uint8_t>* heldBytes = nullptr;

  SwfWriter() = default;
  // A body still open (an abandoned conversion) is deleted.
  ~SwfWriter();
  SwfWriter(const SwfWriter&) = delete;
  SwfWriter& operator=(const SwfWriter&) = delete;
};

// Creates a new, unique body file in the system temp folder. False when it
// cannot be created (failReason says why; nothing is open and AppendBody
// does nothing).
[[nodiscard]] bool OpenBody(SwfWriter& w);
// Starts an empty body in memory instead of a file.
[[nodiscard]] bool OpenBodyInMemory(SwfWriter& w);
// Appends n bytes; returns the new body length.
int32_t AppendBody(SwfWriter& w, const void* bytes, size_t n);
// Appends tag bytes in movie order: behind the bitmaps still being
// compressed (heldBytes), else straight to the body. Every tag goes
// through here.
void WriteInOrder(SwfWriter& w, const void* bytes, size_t n);
// Marks the body as incomplete (a tag could not be composed).
void MarkBodyFailed(SwfWriter& w);
// Closes and deletes the body file, or frees the memory body.
void DiscardBody(SwfWriter& w);
enum class AssemblyStatus {
  kWritten,         // the destination holds the whole movie
  kCancelled,       // cancel was set while copying; the destination is as it was
  kBodyIncomplete,  // the body could not be written whole; destination untouched
  kNotWritable,     // the destination could not be written; it is as it was
  kOutOfMemory,     // the movie could not be held in memory
};
struct AssemblyResult {
  AssemblyStatus status = AssemblyStatus::kNotWritable;
  std::string reason;  // the system's reason, for the failures
};
// Writes header + body to a temporary file beside the destination, which
// replaces the destination only when it is whole and on disk; deletes the
// body file. A set cancel flag (may be null) stops the copy.
[[nodiscard]] AssemblyResult AssembleMovie(SwfWriter& w, const char* destinationPath, const uint8_t* header, int headerLength,
                             const std::atomic<bool>* cancel = nullptr);
// Puts header + body into movie (replacing its contents) and drops the body.
// kWritten, kBodyIncomplete or kOutOfMemory (movie left empty).
[[nodiscard]] AssemblyResult AssembleMovieInMemory(SwfWriter& w, const uint8_t* header, int headerLength,
                                                   std::vector<uint8_t>& movie);
