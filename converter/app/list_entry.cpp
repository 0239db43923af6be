#include "list_entry.h"
#include "movie_name.h"
#include "platform/path_limit.h"

#ifdef _WIN32
#include <windows.h>
#endif

const char kDestinationPrefix[] = u8"Dest--目标文件夹为: ";
const size_t kDestinationPrefixLength = sizeof kDestinationPrefix - 1;

namespace {

// Bytes from `from` up to the next CR (or the end).
std::string RestOfLine(const std::string& text, size_t from) {
  if (from >= text.size()) return std::string();
  size_t cr = text.find('\r', from);
  return text.substr(from, cr == std::string::npos ? std::string::npos : cr - from);
}

bool StartsWithDest(const std::string& text, size_t at) { return text.compare(at, 4, "Dest") == 0; }

// The folder of the destination line at `at`; a line too short for the
// prefix names none (rather than a piece of the next line).
std::string FolderOf(const std::string& text, size_t at) {
  std::string line = RestOfLine(text, at);
  return line.size() > kDestinationPrefixLength ? line.substr(kDestinationPrefixLength) : std::string();
}

bool EndsWithGif(const std::string& path) {
  if (path.size() < 3) return false;
  const char* end = path.c_str() + path.size() - 3;
  return (end[0] | 0x20) == 'g' && (end[1] | 0x20) == 'i' && (end[2] | 0x20) == 'f';
}

}  // namespace

size_t FindLastBackslash(const std::string& path) { return path.rfind('\\'); }

bool EndsWithBackslash(const std::string& path) {
  return !path.empty() && FindLastBackslash(path) == path.size() - 1;
}

ListEntry ExamineListEntry(const std::string& text, int32_t k, std::string& source,
                           std::string& destination) {
  source.clear();
  destination.clear();
  if (k < 0) return ListEntry::kMissing;
  std::string folder;
  if (StartsWithDest(text, 0)) {
    folder = FolderOf(text, 0);
    if (k == 0) return ListEntry::kDestination;
  }
  size_t lineStart = 0;
  for (int32_t lines = 0; lines < k; ++lines) {
    size_t lf = text.find('\n', lineStart);
    if (lf == std::string::npos) return ListEntry::kMissing;
    lineStart = lf + 1;
    if (StartsWithDest(text, lineStart)) {
      folder = FolderOf(text, lineStart);
      if (lines + 1 == k) return ListEntry::kDestination;
    }
  }
  source = RestOfLine(text, lineStart);
  if (folder.empty()) {
    destination = source;
  } else {
    if (EndsWithBackslash(folder)) folder.pop_back();
    size_t slash = FindLastBackslash(source);
    destination = folder + (slash == std::string::npos ? "\\" + source : source.substr(slash));
  }
  if (!EndsWithGif(destination)) return ListEntry::kSkipped;
  destination = MoviePathOf(destination);
  // Longer names never fit the converter's path buffers.
  if (!FitsPathLimit(source) || !FitsPathLimit(destination)) return ListEntry::kTooLong;
  return ListEntry::kFile;
}

bool ResolveListEntry(const std::string& text, int32_t k, std::string& source,
                      std::string& destination) {
  return ExamineListEntry(text, k, source, destination) == ListEntry::kFile;
}
