#include "tag_buffer.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "swf_writer.h"

TagBuffer::TagBuffer(uint8_t* memory, size_t size) : data(memory), capacity(memory ? size : 0), owned_(false) {
  overflow = memory == nullptr;
}

TagBuffer::~TagBuffer() {
  if (owned_) std::free(data);
}

bool TagBuffer::Grow(size_t at, size_t n) {
  if (overflow || !owned_ || n > SIZE_MAX - at) {
    overflow = true;
    return false;
  }
  size_t needed = at + n;
  if (needed <= capacity) return true;
  // Doubling keeps a long tag to a few copies; most tags fit the first size.
  size_t grown = capacity < 64 ? 64 : capacity;
  while (grown < needed) grown = grown > SIZE_MAX / 2 ? needed : grown * 2;
  uint8_t* bigger = static_cast<uint8_t*>(std::realloc(data, grown));
  if (!bigger) {
    overflow = true;
    return false;
  }
  std::memset(bigger + capacity, 0, grown - capacity);
  data = bigger;
  capacity = grown;
  return true;
}

void PutU8(uint32_t value, TagBuffer& buf) {
  if (!buf.Reserve(1)) return;
  buf.data[buf.position++] = static_cast<uint8_t>(value);
}

void PutU16(uint32_t value, TagBuffer& buf) {
  if (!buf.Reserve(2)) return;
  buf.data[buf.position++] = static_cast<uint8_t>(value);
  buf.data[buf.position++] = static_cast<uint8_t>(value >> 8);
}

void PutU32(uint32_t value, TagBuffer& buf) {
  if (!buf.Reserve(4)) return;
  for (int i = 0; i < 4; ++i) buf.data[buf.position++] = static_cast<uint8_t>(value >> (8 * i));
}

void PutBytes(const void* bytes, size_t n, TagBuffer& buf) {
  if (n == 0 || !buf.Reserve(n)) return;
  std::memcpy(buf.data + buf.position, bytes, n);
  buf.position += n;
}

void PutTagHeader(int code, TagBuffer& buf, uint32_t length, bool forceLong) {
  if (forceLong || length >= 63) {
    PutU16(static_cast<uint32_t>(code) * 64 + 63, buf);
    PutU32(length, buf);
  } else {
    PutU16(static_cast<uint32_t>(code) * 64 + length, buf);
  }
}

bool AppendTag(SwfWriter& w, int code, const TagBuffer& body, bool forceLong) {
  if (!body.ok()) {
    MarkBodyFailed(w);
    return false;
  }
  uint8_t headerBytes[kMaxTagHeaderBytes];
  TagBuffer header(headerBytes, sizeof headerBytes);
  PutTagHeader(code, header, static_cast<uint32_t>(body.position), forceLong);
  if (!header.ok()) {
    MarkBodyFailed(w);
    return false;
  }
  WriteInOrder(w, header.data, header.position);
  WriteInOrder(w, body.data, body.position);
  return true;
}
