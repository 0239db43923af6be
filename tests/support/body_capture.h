// Runs tag writers against a fresh movie body and returns the bytes they appended.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

struct SwfWriter;
// Opens a body in a fresh writer, runs write on it, returns the body's bytes
// and discards the body.
Bytes CaptureBody(const std::function<void(SwfWriter&)>& write);

Bytes HexBytes(const std::string& hex);  // "3F 05 64" -> bytes
std::string ToHex(const Bytes& bytes);
Bytes ReadFileBytes(const std::string& path);
bool FileExists(const std::string& path);
