// File calls by FilePath that have no home of their own: on Windows through
// the wide calls, so any name is reached whatever the code page.
#pragma once

#include "file_path.h"

// True when the file is gone afterwards because of this call.
[[nodiscard]] bool RemoveFile(const FilePath& path);
