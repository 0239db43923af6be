#include "bit_writer.h"

#include <cstdlib>

void ResetBits(BitWriter& bits, TagBuffer& buf) {
  bits.buf = &buf;
  bits.start = buf.position;
  bits.bitCount = 0;
}

void PutBits(BitWriter& bits, int n, uint32_t value) {
  TagBuffer& buf = *bits.buf;
  for (int i = n - 1; i >= 0; --i) {
    size_t byte = bits.start + bits.bitCount / 8;
    if (!buf.Hold(byte + 1)) return;
    if (i < 32 && ((value >> i) & 1u)) buf.data[byte] |= static_cast<uint8_t>(0x80u >> (bits.bitCount % 8));
    ++bits.bitCount;
  }
}

void PutSignedBits(BitWriter& bits, int n, int32_t value) {
  if (n <= 0) return;
  uint32_t v = static_cast<uint32_t>(value);
  if (value < 0 && n < 32) {
    uint32_t sign = 1u << (n - 1);
    v = (v & (sign - 1)) | sign;
  }
  PutBits(bits, n, v);
}

void AlignBits(BitWriter& bits) {
  TagBuffer& buf = *bits.buf;
  uint32_t bytes = (bits.bitCount + 7) / 8;
  bits.bitCount = bytes * 8;
  if (!buf.Hold(bits.start + bytes)) {
    buf.position = buf.capacity;
    return;
  }
  buf.position = bits.start + bytes;
}

int SignedBitCount(int32_t a, int32_t b) {
  int64_t ma = std::llabs(static_cast<int64_t>(a));
  int64_t mb = std::llabs(static_cast<int64_t>(b));
  int64_t m = ma > mb ? ma : mb;
  if (m == 0) return 0;
  int bitsNeeded = 0;
  while (m) {
    ++bitsNeeded;
    m >>= 1;
  }
  return bitsNeeded + 1;
}
