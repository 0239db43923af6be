#include "system_reason.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <cstring>
#endif

std::string SystemReason(long code) {
#ifdef _WIN32
  char text[512] = "";
  DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                           static_cast<DWORD>(code), 0, text, sizeof text, nullptr);
  while (n > 0 && (text[n - 1] == '\r' || text[n - 1] == '\n' || text[n - 1] == ' ' || text[n - 1] == '.')) --n;
  if (n == 0) return "error " + std::to_string(code);
  return std::string(text, n);
#else
  return std::strerror(static_cast<int>(code));
#endif
}
