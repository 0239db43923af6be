#include "tag_buffer.h"

#include <cstdlib>
#include <cstring>

#include "swf_writer.h"

TagBuffer::TagBuffer(size_t size) {
  data = static_cast<uint8_t*>(std::calloc(size ? size : 1, 1));
  capacity = data ? size : 0;
  overflow = data == nullptr;
}

TagBuffer::TagBuffer(uint8_t* memory, size_t size) : data(memory), capacity(memory ? size : 0), owned_(false) {
  overflow = memory == nullptr;
}

TagBuffer::~TagBuffer() {
  if (owned_) std::free(data);
}

bool TagBuffer::Reserve(size_t n) {
  if (overflow || n > capacity - position) {
    overflow = true;
    return false;
  }
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

int AppendTag(SwfWriter& w, int code, const TagBuffer& body, bool forceLong) {
  if (!body.ok()) {
    MarkBodyFailed(w);
    return 0;
  }
  TagBuffer header(6);
  PutTagHeader(code, header, static_cast<uint32_t>(body.position), forceLong);
  if (!header.ok()) {
    MarkBodyFailed(w);
    return 0;
  }
  WriteInOrder(w, header.data, header.position);
  WriteInOrder(w, body.data, body.position);
  return 1;
}
