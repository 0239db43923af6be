#include "temp_file.h"
#include "path_limit.h"

#include <cstdlib>
#include <cstring>
#include <string>

#ifdef _WIN32
#include <windows.h>

#include "wide_text.h"
#else
#include <unistd.h>
#endif

FILE* CreatePrivateTempFile(const char* prefix, char* pathOut, size_t pathSize) {
  if (!pathOut || pathSize == 0) return nullptr;
  pathOut[0] = '\0';
#ifdef _WIN32
  // Wide: a user profile named outside the code page is a temp folder the
  // narrow calls cannot name.
  wchar_t folder[kPathLimit + 1];
  DWORD n = GetTempPathW(kPathLimit + 1, folder);
  if (n == 0 || n > kPathLimit) return nullptr;
  wchar_t path[kPathLimit + 1];
  const std::wstring widePrefix(prefix, prefix + std::strlen(prefix));  // ASCII
  // Creates the file with a name unique on this machine.
  if (GetTempFileNameW(folder, widePrefix.c_str(), 0, path) == 0) return nullptr;
  const std::string utf8 = Utf8FromWide(path);
  if (utf8.size() + 1 > pathSize) {
    DeleteFileW(path);
    return nullptr;
  }
  FILE* f = _wfopen(path, L"w+b");
  if (!f) {
    DeleteFileW(path);
    return nullptr;
  }
  std::memcpy(pathOut, utf8.c_str(), utf8.size() + 1);
  return f;
#else
  const char* folder = std::getenv("TMPDIR");
  if (!folder || !*folder) folder = "/tmp";
  std::string path = std::string(folder) + "/" + prefix + "-XXXXXX";
  if (path.size() + 1 > pathSize) return nullptr;
  std::strcpy(pathOut, path.c_str());
  int fd = mkstemp(pathOut);
  if (fd < 0) {
    pathOut[0] = '\0';
    return nullptr;
  }
  FILE* f = fdopen(fd, "w+b");
  if (!f) {
    close(fd);
    std::remove(pathOut);
    pathOut[0] = '\0';
  }
  return f;
#endif
}
