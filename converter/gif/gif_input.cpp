#include "gif_input.h"

bool OpenInput(GifInput& in, const char* path) {
  CloseInput(in);
  in.file = std::fopen(path, "rb");
  in.pos = in.len = 0;
  in.atEnd = false;
  return in.file != nullptr;
}

void CloseInput(GifInput& in) {
  if (in.file) std::fclose(in.file);
  in.file = nullptr;
  in.pos = in.len = 0;
}

int RefillInput(GifInput& in) {
  in.pos = in.len = 0;
  if (in.file) in.len = std::fread(in.buffer, 1, sizeof in.buffer, in.file);
  if (in.len == 0) {
    in.atEnd = true;
    return -1;
  }
  return in.buffer[in.pos++];
}

void SkipBytes(GifInput& in, size_t n) {
  while (n > 0) {
    size_t have = in.len - in.pos;
    if (have == 0) {
      if (RefillInput(in) < 0) return;
      --n;
      continue;
    }
    size_t step = have < n ? have : n;
    in.pos += step;
    n -= step;
  }
}

int ReadWordLE(GifInput& in) {
  int lo = ReadByte(in);
  int hi = ReadByte(in);
  return (lo < 0 ? 0 : lo) | ((hi < 0 ? 0 : hi) << 8);
}

int ReadWordBE(GifInput& in) {
  int hi = ReadByte(in);
  int lo = ReadByte(in);
  return ((hi < 0 ? 0 : hi) << 8) | (lo < 0 ? 0 : lo);
}
