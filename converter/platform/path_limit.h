// The program's rule for the length of a path: at most 259 units plus the
// terminating zero, Windows' MAX_PATH. On Windows the units are UTF-16 (as
// the system counts), on Linux bytes. Registry texts keep 260 bytes.
#pragma once
#include <cstddef>

constexpr size_t kPathLimit = 260;
// Bytes that hold any path within the limit as UTF-8, with its zero: a
// UTF-16 unit takes at most three bytes.
constexpr size_t kPathBytes = 3 * kPathLimit;

#include "file_path.h"
#include "wide_text.h"

// A path's length as the rule counts it: UTF-16 units on Windows (the
// system's count, whatever the UTF-8 takes), bytes on Linux.
inline size_t PathUnits(const FilePath& path) {
#ifdef _WIN32
  return Utf16Length(path);
#else
  return path.size();
#endif
}

// Whether a path is within the limit.
[[nodiscard]] inline bool FitsPathLimit(const FilePath& path) { return PathUnits(path) < kPathLimit; }
