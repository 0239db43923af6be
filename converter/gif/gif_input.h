// Buffered byte-at-a-time reading of the GIF file, or of a GIF held in
// memory (served through the same buffer, so the byte reader is the same).
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>

struct GifInput {
  FILE* file = nullptr;
  const uint8_t* memory = nullptr;  // memory source, not owned
  size_t memorySize = 0;
  size_t memoryPos = 0;
  size_t pos = 0;
  size_t len = 0;
  bool atEnd = false;  // a read found no more bytes
  uint8_t buffer[1 << 16];
};

[[nodiscard]] bool OpenInput(GifInput& in, const char* path);
// Reads from size bytes at data, which must outlive the reading. A null
// data with size 0 is an empty source.
[[nodiscard]] bool OpenInputMemory(GifInput& in, const uint8_t* data, size_t size);
void CloseInput(GifInput& in);
[[nodiscard]] int RefillInput(GifInput& in);

// Next byte, or -1 (and atEnd set) at the end of the file. Also read only
// to step over a byte, so its value may be dropped.
inline int ReadByte(GifInput& in) {
  if (in.pos < in.len) return in.buffer[in.pos++];
  return RefillInput(in);
}
// Skips n bytes; stops at the end of the file.
void SkipBytes(GifInput& in, size_t n);
// Little-endian 16-bit field (every GIF word); missing bytes read as 0.
[[nodiscard]] int ReadWordLE(GifInput& in);
