#include "gif_input.h"

#include <cstring>

#ifdef _WIN32
#include <windows.h>

#include <string>
#endif

namespace {

FILE* OpenForReading(const char* path) {
#ifdef _WIN32
  // The path is UTF-8; only the wide call opens every name. (This folder
  // stands below the platform one, so it converts for itself.)
  int size = MultiByteToWideChar(CP_UTF8, 0, path, -1, nullptr, 0);
  if (size <= 0) return nullptr;
  std::wstring wide(static_cast<size_t>(size), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, path, -1, &wide[0], size);
  return _wfopen(wide.c_str(), L"rb");
#else
  return std::fopen(path, "rb");
#endif
}

}  // namespace

bool OpenInput(GifInput& in, const char* path) {
  CloseInput(in);
  in.file = OpenForReading(path);
  in.pos = in.len = 0;
  in.atEnd = false;
  return in.file != nullptr;
}

bool OpenInputMemory(GifInput& in, const uint8_t* data, size_t size) {
  CloseInput(in);
  if (!data && size > 0) return false;
  in.memory = data;
  in.memorySize = data ? size : 0;
  in.memoryPos = 0;
  in.atEnd = false;
  return true;
}

void CloseInput(GifInput& in) {
  if (in.file) std::fclose(in.file);
  in.file = nullptr;
  in.memory = nullptr;
  in.memorySize = in.memoryPos = 0;
  in.pos = in.len = 0;
}

int RefillInput(GifInput& in) {
  in.pos = in.len = 0;
  if (in.file) {
    in.len = std::fread(in.buffer, 1, sizeof in.buffer, in.file);
  } else if (in.memory) {
    size_t left = in.memorySize - in.memoryPos;
    in.len = left < sizeof in.buffer ? left : sizeof in.buffer;
    if (in.len > 0) std::memcpy(in.buffer, in.memory + in.memoryPos, in.len);
    in.memoryPos += in.len;
  }
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
