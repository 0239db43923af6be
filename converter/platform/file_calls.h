// The stdio opening and the deletion of a file by its FilePath: on Windows
// through the wide calls, so any name opens whatever the code page.
#pragma once
#include <cstdio>

#include "file_path.h"

// fopen with a FilePath; null when it cannot be opened.
FILE* OpenFile(const FilePath& path, const char* mode);
// True when the file is gone afterwards because of this call.
[[nodiscard]] bool RemoveFile(const FilePath& path);
