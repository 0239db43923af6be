#include "swf_writer.h"

#include <cstring>
#include <new>

#include "../platform/temp_file.h"

namespace {

constexpr size_t kCopyChunk = 1 << 16;

void CloseAndRemoveBody(SwfWriter& w) {
  // swap, not clear: the memory goes with the body.
  std::vector<uint8_t>().swap(w.memoryBody);
  w.bodyInMemory = false;
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

int OpenBodyInMemory(SwfWriter& w) {
  CloseAndRemoveBody(w);
  w.bodyLength = 0;
  w.failed = false;
  w.bodyInMemory = true;
  return 1;
}

int32_t AppendBody(SwfWriter& w, const void* bytes, size_t n) {
  if (w.bodyInMemory) {
    if (n > 0 && !w.failed) {
      const uint8_t* b = static_cast<const uint8_t*>(bytes);
      try {
        w.memoryBody.insert(w.memoryBody.end(), b, b + n);
      } catch (const std::bad_alloc&) {
        w.failed = true;
      }
    }
    w.bodyLength += static_cast<int32_t>(n);
    return w.bodyLength;
  }
  if (!w.body) {
    w.failed = true;
    return w.bodyLength;
  }
  if (n > 0 && std::fwrite(bytes, 1, n, w.body) != n) w.failed = true;
  w.bodyLength += static_cast<int32_t>(n);
  return w.bodyLength;
}

void WriteInOrder(SwfWriter& w, const void* bytes, size_t n) {
  if (!w.heldBytes) {
    AppendBody(w, bytes, n);
    return;
  }
  const uint8_t* from = static_cast<const uint8_t*>(bytes);
  try {
    w.heldBytes->insert(w.heldBytes->end(), from, from + n);
  } catch (const std::bad_alloc&) {
    w.failed = true;  // as a short write of the body
  }
}

void MarkBodyFailed(SwfWriter& w) { w.failed = true; }

void DiscardBody(SwfWriter& w) { CloseAndRemoveBody(w); }

namespace {

// Copies the body after the header into out; false on any short read or write.
bool CopyBody(SwfWriter& w, FILE* out, uint8_t* chunk) {
  size_t left = static_cast<size_t>(w.bodyLength);
  if (w.bodyInMemory) return std::fwrite(w.memoryBody.data(), 1, left, out) == left;
  while (left > 0) {
    size_t want = left < kCopyChunk ? left : kCopyChunk;
    size_t got = std::fread(chunk, 1, want, w.body);
    if (got != want || std::fwrite(chunk, 1, got, out) != got) return false;
    left -= got;
  }
  return true;
}

// The body is whole and ready to be read from its start.
bool BodyReady(SwfWriter& w) {
  if (w.failed || w.bodyLength < 0) return false;
  if (w.bodyInMemory) return w.memoryBody.size() == static_cast<size_t>(w.bodyLength);
  return w.body && std::fflush(w.body) == 0 && std::fseek(w.body, 0, SEEK_SET) == 0;
}

}  // namespace

int AssembleMovie(SwfWriter& w, const char* destinationPath, const uint8_t* header, int headerLength) {
  if (!BodyReady(w)) {
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
  if (ok) ok = CopyBody(w, out, chunk.get());
  if (std::fclose(out) != 0) ok = false;
  CloseAndRemoveBody(w);
  if (!ok) {
    // A movie that claims a length it does not have would be worse than none.
    std::remove(destinationPath);
    return 0;
  }
  return 1;
}

int AssembleMovieInMemory(SwfWriter& w, const uint8_t* header, int headerLength, std::vector<uint8_t>& movie) {
  movie.clear();
  bool ok = headerLength >= 0 && BodyReady(w);
  if (ok) {
    size_t bodyBytes = static_cast<size_t>(w.bodyLength);
    try {
      movie.reserve(static_cast<size_t>(headerLength) + bodyBytes);
      movie.insert(movie.end(), header, header + headerLength);
      if (w.bodyInMemory) {
        movie.insert(movie.end(), w.memoryBody.begin(), w.memoryBody.end());
      } else {
        movie.resize(movie.size() + bodyBytes);
        ok = std::fread(movie.data() + headerLength, 1, bodyBytes, w.body) == bodyBytes;
      }
    } catch (const std::bad_alloc&) {
      ok = false;
    }
  }
  CloseAndRemoveBody(w);
  if (!ok) std::vector<uint8_t>().swap(movie);
  return ok ? 1 : 0;
}
