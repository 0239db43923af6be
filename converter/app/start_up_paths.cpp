#include "start_up_paths.h"

namespace {

template <typename Char>
bool IsBlank(Char c) {
  return c == ' ' || c == '\t';
}

// Whether a new path starts at text[i].
template <typename Char>
bool StartsPath(const std::basic_string<Char>& text, size_t i) {
  if (i >= text.size()) return false;
  Char c = text[i];
  if (c == '"') return true;
  bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
  if (letter && i + 1 < text.size() && text[i + 1] == ':') return true;
  return c == '\\' && i + 1 < text.size() && text[i + 1] == '\\';
}

template <typename Char>
std::vector<std::basic_string<Char>> Split(const std::basic_string<Char>& text) {
  std::vector<std::basic_string<Char>> paths;
  size_t i = 0;
  while (i < text.size()) {
    if (IsBlank(text[i])) {
      ++i;
      continue;
    }
    std::basic_string<Char> path;
    if (text[i] == '"') {
      size_t close = text.find(Char('"'), i + 1);
      size_t end = close == std::basic_string<Char>::npos ? text.size() : close;
      path = text.substr(i + 1, end - i - 1);
      i = end + 1;
    } else {
      size_t end = i;
      for (;;) {
        while (end < text.size() && !IsBlank(text[end])) ++end;
        size_t next = end;
        while (next < text.size() && IsBlank(text[next])) ++next;
        if (next >= text.size() || StartsPath(text, next)) break;
        end = next;  // a blank inside the path
      }
      path = text.substr(i, end - i);
      i = end;
    }
    if (!path.empty()) paths.push_back(path);
  }
  return paths;
}

}  // namespace

std::vector<std::string> StartUpPaths(const std::string& text) { return Split(text); }

std::vector<std::wstring> StartUpPaths(const std::wstring& text) { return Split(text); }

bool QuietCommandRest(const std::string& text, std::string& rest) {
  rest.clear();
  if (text.compare(0, 6, "-quite") != 0) return false;
  rest = text.substr(6);
  return true;
}
