#include "body_file.h"

#include <cstring>

#include "../platform/temp_file.h"

SwfWriter& TheSwfWriter() {
  static SwfWriter writer;
  return writer;
}

static void CloseAndRemoveBody(SwfWriter& w) {
  if (w.body) std::fclose(w.body);
  w.body = nullptr;
  if (w.bodyPath[0]) std::remove(w.bodyPath);
  w.bodyPath[0] = '\0';
}

int OpenBody() {
  SwfWriter& w = TheSwfWriter();
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

int32_t AppendBody(const void* bytes, size_t n) {
  SwfWriter& w = TheSwfWriter();
  if (!w.body) {
    w.failed = true;
    return w.bodyLength;
  }
  if (n > 0 && std::fwrite(bytes, 1, n, w.body) != n) w.failed = true;
  w.bodyLength += static_cast<int32_t>(n);
  return w.bodyLength;
}

void MarkBodyFailed() { TheSwfWriter().failed = true; }

void DiscardBody() { CloseAndRemoveBody(TheSwfWriter()); }

int AssembleMovie(const char* destinationPath, const uint8_t* header, int headerLength) {
  SwfWriter& w = TheSwfWriter();
  if (!w.body || w.failed || std::fflush(w.body) != 0 || std::fseek(w.body, 0, SEEK_SET) != 0) {
    CloseAndRemoveBody(w);
    return 0;
  }
  FILE* out = std::fopen(destinationPath, "wb");
  if (!out) {
    CloseAndRemoveBody(w);
    return 0;
  }
  bool ok = std::fwrite(header, 1, static_cast<size_t>(headerLength), out) == static_cast<size_t>(headerLength);
  static uint8_t chunk[1 << 16];
  size_t left = static_cast<size_t>(w.bodyLength);
  while (ok && left > 0) {
    size_t want = left < sizeof chunk ? left : sizeof chunk;
    size_t got = std::fread(chunk, 1, want, w.body);
    if (got != want || std::fwrite(chunk, 1, got, out) != got) ok = false;
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
