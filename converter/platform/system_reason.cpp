#include "system_reason.h"

#ifdef _WIN32
#include <windows.h>

#include "wide_text.h"
#else
#include <cstring>
#endif

std::string SystemReason(long code) {
#ifdef _WIN32
  // Wide and then UTF-8, as every text that meets a path is.
  wchar_t text[512] = L"";
  DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                           static_cast<DWORD>(code), 0, text, 512, nullptr);
  while (n > 0 && (text[n - 1] == L'\r' || text[n - 1] == L'\n' || text[n - 1] == L' ' || text[n - 1] == L'.')) --n;
  if (n == 0) return "error " + std::to_string(code);
  return Utf8FromWide(text, n);
#else
  return std::strerror(static_cast<int>(code));
#endif
}
