// The list text of the main window: CR LF separated lines, each a GIF path
// or a destination line (the prefix below and a folder). The batch reads
// every file's source and movie path from it.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

// "Dest--目标文件夹为: " in GB2312: 20 bytes in every build.
extern const char kDestinationPrefix[];
constexpr size_t kDestinationPrefixLength = 20;

// Lead byte of a double-byte character in the system code page (GBK off
// Windows). A trail byte can be 0x5C, which is not a backslash then.
[[nodiscard]] bool IsLeadByte(unsigned char c);
// Index of the last backslash that is a character of its own, or npos.
[[nodiscard]] size_t FindLastBackslash(const std::string& path);
// True when the path's last character is a backslash.
[[nodiscard]] bool EndsWithBackslash(const std::string& path);

enum class ListEntry {
  kMissing,      // the text has no line k
  kDestination,  // line k is a destination line
  kSkipped,      // a file line that is not converted (no .gif name, or a path too long)
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
