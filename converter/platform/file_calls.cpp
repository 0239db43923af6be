#include "file_calls.h"

#ifdef _WIN32
#include <windows.h>

#include "wide_text.h"

FILE* OpenFile(const FilePath& path, const char* mode) {
  std::wstring wideMode(mode, mode + std::char_traits<char>::length(mode));  // ASCII
  return _wfopen(WideFromUtf8(path).c_str(), wideMode.c_str());
}

bool RemoveFile(const FilePath& path) { return DeleteFileW(WideFromUtf8(path).c_str()) != 0; }

#else

FILE* OpenFile(const FilePath& path, const char* mode) { return std::fopen(path.c_str(), mode); }

bool RemoveFile(const FilePath& path) { return std::remove(path.c_str()) == 0; }

#endif
