#include "same_file.h"

#ifdef _WIN32
#include <windows.h>

#include "wide_text.h"

namespace {

bool FileIdentity(const char* path, BY_HANDLE_FILE_INFORMATION& info) {
  // No access rights are needed to read a file's identity.
  HANDLE h = CreateFileW(WideFromUtf8(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  bool ok = GetFileInformationByHandle(h, &info) != 0;
  CloseHandle(h);
  return ok;
}

}  // namespace

bool IsSameFile(const char* a, const char* b) {
  BY_HANDLE_FILE_INFORMATION x, y;
  if (!a || !b || !FileIdentity(a, x) || !FileIdentity(b, y)) return false;
  return x.dwVolumeSerialNumber == y.dwVolumeSerialNumber && x.nFileIndexHigh == y.nFileIndexHigh &&
         x.nFileIndexLow == y.nFileIndexLow;
}

#else
#include <sys/stat.h>

bool IsSameFile(const char* a, const char* b) {
  struct stat x, y;
  if (!a || !b || stat(a, &x) != 0 || stat(b, &y) != 0) return false;
  return x.st_dev == y.st_dev && x.st_ino == y.st_ino;
}

#endif
