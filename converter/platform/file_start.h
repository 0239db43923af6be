// The first bytes of a file, read without blocking on anything that is not
// a plain file (a FIFO given by mistake would hang the reader).
#pragma once
#include <cstddef>
#include <string>

// Reads up to n bytes from the start of the regular file at path into
// bytes; got says how many. False, with the system's reason, when the file
// cannot be opened or read, or is a folder or no regular file.
[[nodiscard]] bool ReadFileStart(const char* path, unsigned char* bytes, size_t n, size_t& got, std::string& reason);
