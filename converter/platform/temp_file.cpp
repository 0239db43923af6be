#include "temp_file.h"
#include "path_limit.h"

#include <cstdlib>
#include <cstring>
#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

FILE* CreatePrivateTempFile(const char* prefix, char* pathOut, size_t pathSize) {
  if (!pathOut || pathSize == 0) return nullptr;
  pathOut[0] = '\0';
#ifdef _WIN32
  char folder[kPathLimit + 1];
  DWORD n = GetTempPathA(sizeof folder, folder);
  if (n == 0 || n > sizeof folder) return nullptr;
  char path[kPathLimit + 1];
  // Creates the file with a name unique on this machine.
  if (GetTempFileNameA(folder, prefix, 0, path) == 0) return nullptr;
  if (std::strlen(path) + 1 > pathSize) {
    DeleteFileA(path);
    return nullptr;
  }
  FILE* f = std::fopen(path, "w+b");
  if (!f) {
    DeleteFileA(path);
    return nullptr;
  }
  std::strcpy(pathOut, path);
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
