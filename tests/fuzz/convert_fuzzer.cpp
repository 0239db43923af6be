// libFuzzer target: one whole conversion of an arbitrary byte string, in
// memory, through the same reader, pipeline and writer as a file conversion.
//
// Input layout: three option bytes, then 0..15 bytes of link address (the
// count is in the third byte), then the GIF.
//   byte 0: bit 0 change loop, 1 loop forever, 2 border correction,
//           3 GIF background, 4 crop, 5 link, 6 protect, 7 large play count
//   byte 1: play count (signed; times 257 with bit 7 of byte 0)
//   byte 2: bits 0-1 compression threads - 1, bits 4-7 link address length
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "app/conversion_job.h"

namespace {

constexpr size_t kOptionBytes = 3;

uint32_t ReadU32(const std::vector<uint8_t>& m, size_t at) {
  return m[at] | (uint32_t(m[at + 1]) << 8) | (uint32_t(m[at + 2]) << 16) | (uint32_t(m[at + 3]) << 24);
}

// The movie's own framing must hold whatever the input was: "FWS" version 2,
// the stated length is the real length, and the tags, walked by their
// headers, end with End exactly at the end.
bool MovieFramingHolds(const std::vector<uint8_t>& m) {
  if (m.size() < 12 || m[0] != 'F' || m[1] != 'W' || m[2] != 'S' || m[3] != 2) return false;
  if (ReadU32(m, 4) != m.size()) return false;
  size_t rectBits = 5 + 4 * size_t(m[8] >> 3);
  size_t at = 8 + (rectBits + 7) / 8 + 4;  // RECT, frame rate, frame count
  while (at + 2 <= m.size()) {
    uint32_t codeAndLength = m[at] | (uint32_t(m[at + 1]) << 8);
    at += 2;
    size_t length = codeAndLength & 63;
    if (length == 63) {
      if (at + 4 > m.size()) return false;
      length = ReadU32(m, at);
      at += 4;
    }
    if (length > m.size() - at) return false;
    at += length;
    if ((codeAndLength >> 6) == 0) return at == m.size();  // End
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < kOptionBytes) return 0;
  ConversionOptions o;
  const uint8_t flags = data[0];
  o.changeLoop = flags & 1;
  o.loopForever = (flags >> 1) & 1;
  o.borderCorrection = (flags >> 2) & 1;
  o.useGifBackground = (flags >> 3) & 1;
  o.optimiseCanvas = (flags >> 4) & 1;
  o.useLinkUrl = (flags >> 5) & 1;
  o.protect = (flags >> 6) & 1;
  o.playCount = static_cast<int8_t>(data[1]) * ((flags & 0x80) ? 257 : 1);
  // One thread takes the in-place path; more run the compression pool.
  o.threads = (data[2] & 3) + 1;
  size_t urlLength = data[2] >> 4;
  if (urlLength > size - kOptionBytes) urlLength = size - kOptionBytes;
  const uint8_t* gif = data + kOptionBytes + urlLength;
  const size_t gifSize = size - kOptionBytes - urlLength;
  if (o.useLinkUrl) o.linkUrl.assign(reinterpret_cast<const char*>(data + kOptionBytes), urlLength);

  std::vector<uint8_t> movie;
  // Only a failed allocation stops a memory conversion, and none is expected
  // under the fuzzer's memory limit.
  if (ConvertMemory(gif, gifSize, o, movie).status != ConversionStatus::kConverted) std::abort();
  if (!MovieFramingHolds(movie)) std::abort();
  return 0;
}
