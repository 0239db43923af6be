#include "ansi_path.h"
#include "path_limit.h"

#ifdef _WIN32
#include <windows.h>

#include <vector>

static_assert(kPathLimit == MAX_PATH, "path buffers hold what the system's do");

bool ExactAnsiText(const wchar_t* text, std::string& out) {
  out.clear();
  if (!text) return false;
  BOOL lost = FALSE;
  int size = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text, -1, nullptr, 0, nullptr, &lost);
  if (size <= 0 || lost) return false;
  std::vector<char> bytes(static_cast<size_t>(size));
  lost = FALSE;
  if (WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text, -1, bytes.data(), size, nullptr, &lost) != size ||
      lost)
    return false;
  out.assign(bytes.data());
  return true;
}

namespace {

// The exact narrow name, when it also fits a path buffer.
bool ExactAnsi(const wchar_t* name, std::string& out) {
  return ExactAnsiText(name, out) && out.size() < kPathLimit;
}

}  // namespace

AnsiPath AnsiPathOf(const wchar_t* name) {
  AnsiPath result;
  if (!name || !*name) return result;
  if (ExactAnsi(name, result.path)) {
    result.kind = AnsiPathKind::kExact;
    return result;
  }
  DWORD size = GetShortPathNameW(name, nullptr, 0);
  if (size > 0) {
    std::vector<wchar_t> shortName(size + 1);
    DWORD got = GetShortPathNameW(name, shortName.data(), static_cast<DWORD>(shortName.size()));
    if (got > 0 && got < shortName.size() && ExactAnsi(shortName.data(), result.path)) {
      result.kind = AnsiPathKind::kShortName;
      return result;
    }
  }
  result.path.clear();
  return result;
}

std::wstring NoAnsiPathMessage(const wchar_t* name) {
  return std::wstring(L"错误: 无法读取文件 ") + (name ? name : L"") +
         L"\r\n文件名含有系统代码页不能表示的字符，而且该卷没有短文件名。请改用系统代码页中的字符重命名此文件。";
}
#endif
