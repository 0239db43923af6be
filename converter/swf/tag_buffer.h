// Composition buffer for one SWF tag, with the byte writers that fill it.
#pragma once
#include <cstddef>
#include <cstdint>

// Largest tag header: code and length marker, then a 32-bit length.
constexpr size_t kMaxTagHeaderBytes = 6;

// A buffer of its own grows as it is written; its bytes past the position
// are always zero, so bit fields can be OR-ed in. One over memory the caller
// keeps has a fixed capacity (and is not zeroed or freed here). Writes that
// do not fit (past a fixed capacity, or when growing finds no memory) are
// dropped and remembered in `overflow`, so a tag that failed is never
// appended half-written.
class TagBuffer {
 public:
  TagBuffer() = default;
  TagBuffer(uint8_t* memory, size_t capacity);
  ~TagBuffer();
  TagBuffer(const TagBuffer&) = delete;
  TagBuffer& operator=(const TagBuffer&) = delete;

  bool ok() const { return !overflow; }
  // True when n more bytes fit at the position, growing the buffer if it is
  // its own; sets overflow if not.
  bool Reserve(size_t n) { return (!overflow && n <= capacity - position) || Grow(position, n); }
  // The same for the first `size` bytes, wherever the position is.
  bool Hold(size_t size) { return (!overflow && size <= capacity) || Grow(0, size); }

  uint8_t* data = nullptr;
  size_t capacity = 0;
  size_t position = 0;
  bool overflow = false;

 private:
  bool Grow(size_t at, size_t n);
  bool owned_ = true;
};

// Values come from 32-bit integers and are truncated, little-endian.
void PutU8(uint32_t value, TagBuffer& buf);
void PutU16(uint32_t value, TagBuffer& buf);
void PutU32(uint32_t value, TagBuffer& buf);
void PutBytes(const void* bytes, size_t n, TagBuffer& buf);

// Short form (2 bytes) for lengths 0..62 unless forceLong, else 6 bytes.
void PutTagHeader(int code, TagBuffer& buf, uint32_t length, bool forceLong);

struct SwfWriter;
// Appends the header for `body` (its first `position` bytes) and the body to
// the writer's movie body. False (nothing appended, body marked incomplete)
// when the body overflowed.
bool AppendTag(SwfWriter& w, int code, const TagBuffer& body, bool forceLong);
