// Buffered byte-at-a-time reading of the GIF file.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>

struct GifInput {
  FILE* file = nullptr;
  size_t pos = 0;
  size_t len = 0;
  bool atEnd = false;  // a read found no more bytes
  uint8_t buffer[1 << 16];
};

bool OpenInput(GifInput& in, const char* path);
void CloseInput(GifInput& in);
int RefillInput(GifInput& in);

// Next byte, or -1 (and atEnd set) at the end of the file.
inline int ReadByte(GifInput& in) {
  if (in.pos < in.len) return in.buffer[in.pos++];
  return RefillInput(in);
}
// Skips n bytes; stops at the end of the file.
void SkipBytes(GifInput& in, size_t n);
// Little-endian 16-bit field (every GIF word); missing bytes read as 0.
int ReadWordLE(GifInput& in);
// Big-endian 16-bit word; used only for the signature.
int ReadWordBE(GifInput& in);
