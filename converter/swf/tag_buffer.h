// Composition buffer for one SWF tag, with the byte writers that fill it.
#pragma once
#include <cstddef>
#include <cstdint>

// A fixed-capacity, zero-filled heap buffer. Writes that would pass the end
// are dropped and remembered in `overflow`, so a tag that did not fit is never
// appended half-written. A buffer whose allocation failed has data == nullptr
// and overflow set.
class TagBuffer {
 public:
  explicit TagBuffer(size_t capacity);
  // Composes into memory the caller keeps (not zeroed, not freed here).
  TagBuffer(uint8_t* memory, size_t capacity);
  ~TagBuffer();
  TagBuffer(const TagBuffer&) = delete;
  TagBuffer& operator=(const TagBuffer&) = delete;

  bool ok() const { return data != nullptr && !overflow; }
  // True when n more bytes fit at the current position; sets overflow if not.
  bool Reserve(size_t n);

  uint8_t* data = nullptr;
  size_t capacity = 0;
  size_t position = 0;
  bool overflow = false;

 private:
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
// the writer's movie body. Returns 1, or 0 (nothing appended, body marked
// incomplete) when the body buffer failed to allocate or overflowed.
int AppendTag(SwfWriter& w, int code, const TagBuffer& body, bool forceLong);
