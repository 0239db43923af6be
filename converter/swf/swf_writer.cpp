#include "swf_writer.h"

#include <cerrno>
#include <cstring>
#include <new>

#include "../platform/replace_file.h"
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

bool OpenBody(SwfWriter& w) {
  CloseAndRemoveBody(w);
  w.bodyLength = 0;
  w.failed = false;
  w.failReason.clear();
  w.body = CreatePrivateTempFile("tvb", w.bodyPath, sizeof w.bodyPath);
  if (!w.body) {
    w.bodyPath[0] = '\0';
    w.failed = true;
    w.failReason = std::strerror(errno);
    return false;
  }
  return true;
}

bool OpenBodyInMemory(SwfWriter& w) {
  CloseAndRemoveBody(w);
  w.bodyLength = 0;
  w.failed = false;
  w.failReason.clear();
  w.bodyInMemory = true;
  return true;
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
  if (n > 0 && std::fwrite(bytes, 1, n, w.body) != n) {
    if (!w.failed) w.failReason = std::strerror(errno);
    w.failed = true;
  }
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

// The body is whole and ready to be read from its start.
bool BodyReady(SwfWriter& w) {
  if (w.failed || w.bodyLength < 0) return false;
  if (w.bodyInMemory) return w.memoryBody.size() == static_cast<size_t>(w.bodyLength);
  return w.body && std::fflush(w.body) == 0 && std::fseek(w.body, 0, SEEK_SET) == 0;
}

}  // namespace

AssemblyResult AssembleMovie(SwfWriter& w, const char* destinationPath, const uint8_t* header, int headerLength,
                             const std::atomic<bool>* cancel) {
  AssemblyResult result;
  if (!BodyReady(w)) {
    result.status = AssemblyStatus::kBodyIncomplete;
    result.reason = w.failReason.empty() ? std::strerror(EIO) : w.failReason;
    CloseAndRemoveBody(w);
    return result;
  }
  std::unique_ptr<uint8_t[]> chunk(new (std::nothrow) uint8_t[kCopyChunk]);
  if (!chunk) {
    result.status = AssemblyStatus::kBodyIncomplete;
    result.reason = std::strerror(ENOMEM);
    CloseAndRemoveBody(w);
    return result;
  }
  // The old movie stays until the new one is whole.
  FileReplacement out;
  bool ok = out.Begin(destinationPath, result.reason) &&
            out.Write(header, static_cast<size_t>(headerLength), result.reason);
  bool cancelled = false;
  if (ok && w.bodyInMemory) ok = out.Write(w.memoryBody.data(), w.memoryBody.size(), result.reason);
  for (size_t left = static_cast<size_t>(w.bodyLength); ok && !w.bodyInMemory && left > 0;) {
    if (cancel && cancel->load()) {
      cancelled = true;
      break;
    }
    size_t want = left < kCopyChunk ? left : kCopyChunk;
    if (std::fread(chunk.get(), 1, want, w.body) != want) {
      result.status = AssemblyStatus::kBodyIncomplete;
      result.reason = std::strerror(errno ? errno : EIO);
      CloseAndRemoveBody(w);
      return result;
    }
    ok = out.Write(chunk.get(), want, result.reason);
    left -= want;
  }
  CloseAndRemoveBody(w);
  if (cancelled || (ok && cancel && cancel->load())) {
    result.status = AssemblyStatus::kCancelled;
    result.reason.clear();
    return result;  // out abandons the temporary file
  }
  if (ok) ok = out.Commit(result.reason);
  result.status = ok ? AssemblyStatus::kWritten : AssemblyStatus::kNotWritable;
  if (ok) result.reason.clear();
  return result;
}

AssemblyResult AssembleMovieInMemory(SwfWriter& w, const uint8_t* header, int headerLength,
                                     std::vector<uint8_t>& movie) {
  movie.clear();
  AssemblyResult result;
  result.status = AssemblyStatus::kWritten;
  bool ok = headerLength >= 0 && BodyReady(w);
  if (!ok) {
    result.status = AssemblyStatus::kBodyIncomplete;
    result.reason = w.failReason.empty() ? std::strerror(EIO) : w.failReason;
  } else {
    size_t bodyBytes = static_cast<size_t>(w.bodyLength);
    try {
      movie.reserve(static_cast<size_t>(headerLength) + bodyBytes);
      movie.insert(movie.end(), header, header + headerLength);
      if (w.bodyInMemory) {
        movie.insert(movie.end(), w.memoryBody.begin(), w.memoryBody.end());
      } else {
        movie.resize(movie.size() + bodyBytes);
        if (std::fread(movie.data() + headerLength, 1, bodyBytes, w.body) != bodyBytes) {
          result.status = AssemblyStatus::kBodyIncomplete;
          result.reason = std::strerror(EIO);
        }
      }
    } catch (const std::bad_alloc&) {
      result.status = AssemblyStatus::kOutOfMemory;
      result.reason = std::strerror(ENOMEM);
    }
  }
  CloseAndRemoveBody(w);
  if (result.status != AssemblyStatus::kWritten) std::vector<uint8_t>().swap(movie);
  return result;
}
