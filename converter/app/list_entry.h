// The list text of the main window: CR LF separated lines, each a GIF path
// or a destination line (the prefix below and a folder). The batch reads
// every file's source and movie path from it.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

// "Dest--目标文件夹为: " in UTF-8, as the whole list is: paths in it are
// UTF-8 on Windows, and a list must not mix two encodings.
extern const char kDestinationPrefix[];
extern const size_t kDestinationPrefixLength;

// Index of the last backslash, or npos. (No byte of a longer UTF-8
// character is 0x5C.)
[[nodiscard]] size_t FindLastBackslash(const std::string& path);
// True when the path's last character is a backslash.
[[nodiscard]] bool EndsWithBackslash(const std::string& path);

enum class ListEntry {
  kMissing,      // the text has no line k
  kDestination,  // line k is a destination line
  kSkipped,      // a file line that is not converted (no .gif name)
  kTooLong,      // a .gif line whose source or movie path is beyond the path limit
  kFile,         // a file to convert
};

// Examines line k (from 0). For file lines (kSkipped, kFile) source is the
// line and destination the movie path: the source name in the folder of the
// nearest destination line above it (next to the source when there is
// none), with "gif" at the end replaced by "swf" when the name ends so.
[[nodiscard]] ListEntry ExamineListEntry(const std::string& text, int32_t k, std::string& source,
                           std::string& destination);
// True with both paths (each at most 259 bytes) when line k is a file to
// convert.
[[nodiscard]] bool ResolveListEntry(const std::string& text, int32_t k, std::string& source,
                      std::string& destination);
