#include "swf_writer.h"

#include <cstring>
#include <new>

#include "../platform/temp_file.h"

namespace {

constexpr size_t kCopyChunk = 1 << 16;

void CloseAndRemoveBody(SwfWriter& w) {
  if (w.body) std::fclose(w.body);
  w.body = nullptr;
  if (w.bodyPath[0]) std::remove(w.bodyPath);
  w.bodyPath[0] = '\0';
}

}  // namespace

void BitmapCompressor::Release() {
  if (level >= 0) deflateEnd(&stream);
  level = -1;
  out.reset();
  outCapacity = 0;
}

SwfWriter::~SwfWriter() { CloseAndRemoveBody(*this); }

int OpenBody(SwfWriter& w) {
  CloseAndRemoveBody(w);
  w.bodyLength = 0;
  w.failed = false;
  w.body = CreatePrivateTempFile("tvb", w.bodyPath, sizeof w.bodyPath);
  if (!w.body) {
    w.bodyPath[0] = '\0';
    w.failed = true;
    return 0;
  }
  return 1;
}

int32_t AppendBody(SwfWriter& w, const void* bytes, size_t n) {
  if (!w.body) {
    w.failed = true;
    return w.bodyLength;
  }
  if (n > 0 && std::fwrite(bytes, 1, n, w.body) != n) w.failed = true;
  w.bodyLength += static_cast<int32_t>(n);
  return w.bodyLength;
}

void MarkBodyFailed(SwfWriter& w) { w.failed = true; }

void DiscardBody(SwfWriter& w) { CloseAndRemoveBody(w); }

int AssembleMovie(SwfWriter& w, const char* destinationPath, const uint8_t* header, int headerLength) {
  if (!w.body || w.failed || std::fflush(w.body) != 0 || std::fseek(w.body, 0, SEEK_SET) != 0) {
    CloseAndRemoveBody(w);
    return 0;
  }
  std::unique_ptr<uint8_t[]> chunk(new (std::nothrow) uint8_t[kCopyChunk]);
  FILE* out = chunk ? std::fopen(destinationPath, "wb") : nullptr;
  if (!out) {
    CloseAndRemoveBody(w);
    return 0;
  }
  bool ok = std::fwrite(header, 1, static_cast<size_t>(headerLength), out) == static_cast<size_t>(headerLength);
  size_t left = static_cast<size_t>(w.bodyLength);
  while (ok && left > 0) {
    size_t want = left < kCopyChunk ? left : kCopyChunk;
    size_t got = std::fread(chunk.get(), 1, want, w.body);
    if (got != want || std::fwrite(chunk.get(), 1, got, out) != got) ok = false;
    left -= got;
  }
  if (std::fclose(out) != 0) ok = false;
  CloseAndRemoveBody(w);
  if (!ok) {
    // A movie that claims a length it does not have would be worse than none.
    std::remove(destinationPath);
    return 0;
  }
  return 1;
}
