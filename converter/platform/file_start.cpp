#include "file_start.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#ifdef _WIN32
#include <windows.h>

#include "wide_text.h"
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

bool ReadFileStart(const char* path, unsigned char* bytes, size_t n, size_t& got, std::string& reason) {
  got = 0;
  if (!path) {
    reason = std::strerror(ENOENT);
    return false;
  }
#ifdef _WIN32
  const std::wstring wide = WideFromUtf8(path);
  DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    reason = "is a folder, not a GIF file";
    return false;
  }
  FILE* file = _wfopen(wide.c_str(), L"rb");
  if (!file) {
    reason = std::strerror(errno);
    return false;
  }
  got = std::fread(bytes, 1, n, file);
  bool ok = got == n || !std::ferror(file);
  if (!ok) reason = std::strerror(errno);
  std::fclose(file);
  return ok;
#else
  int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    reason = std::strerror(errno);
    return false;
  }
  struct stat st;
  bool ok = false;
  if (fstat(fd, &st) != 0) {
    reason = std::strerror(errno);
  } else if (S_ISDIR(st.st_mode)) {
    reason = "is a folder, not a GIF file";
  } else if (!S_ISREG(st.st_mode)) {
    reason = "not a regular file";  // read twice, so no pipes
  } else {
    ok = true;
    while (got < n) {
      ssize_t r = read(fd, bytes + got, n - got);
      if (r < 0 && errno == EINTR) continue;
      if (r < 0) {
        reason = std::strerror(errno);
        ok = false;
      }
      if (r <= 0) break;
      got += static_cast<size_t>(r);
    }
  }
  close(fd);
  return ok;
#endif
}
