#include "file_calls.h"

#ifdef _WIN32
#include <windows.h>

#include "wide_text.h"

bool RemoveFile(const FilePath& path) { return DeleteFileW(WideFromUtf8(path).c_str()) != 0; }

#else
#include <cstdio>

bool RemoveFile(const FilePath& path) { return std::remove(path.c_str()) == 0; }

#endif
