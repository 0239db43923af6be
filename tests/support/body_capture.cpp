#include "body_capture.h"

#include <cstdio>
#include <cstdlib>

#include "swf/swf_writer.h"

Bytes ReadFileBytes(const std::string& path) {
  Bytes out;
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return out;
  uint8_t chunk[4096];
  size_t n;
  while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) out.insert(out.end(), chunk, chunk + n);
  std::fclose(f);
  return out;
}

bool FileExists(const std::string& path) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (f) std::fclose(f);
  return f != nullptr;
}

Bytes CaptureBody(const std::function<void(SwfWriter&)>& write) {
  SwfWriter w;
  if (!OpenBody(w)) return {};
  write(w);
  std::fflush(w.body);
  Bytes out = ReadFileBytes(w.bodyPath);
  DiscardBody(w);
  return out;
}

Bytes HexBytes(const std::string& hex) {
  Bytes out;
  for (size_t i = 0; i + 1 < hex.size();) {
    if (hex[i] == ' ') {
      ++i;
      continue;
    }
    out.push_back(static_cast<uint8_t>(std::strtoul(hex.substr(i, 2).c_str(), nullptr, 16)));
    i += 2;
  }
  return out;
}

std::string ToHex(const Bytes& bytes) {
  static const char* digits = "0123456789ABCDEF";
  std::string s;
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (i) s += ' ';
    s += digits[bytes[i] >> 4];
    s += digits[bytes[i] & 15];
  }
  return s;
}
