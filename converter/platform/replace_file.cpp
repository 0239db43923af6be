#include "replace_file.h"
#include "path_limit.h"
#include "system_reason.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

constexpr int kAttempts = 64;

size_t FolderEnd(const std::string& path) {
  size_t cut = path.find_last_of(
#ifdef _WIN32
      "\\/:"
#else
      "/"
#endif
  );
  return cut == std::string::npos ? 0 : cut + 1;
}

// "~tv" and random letters in the final file's folder, no longer than the
// final path, so that a path that fits the limit gives a temporary one
// that fits too.
std::string TempCandidate(const std::string& finalPath, std::mt19937& random) {
  size_t folder = FolderEnd(finalPath);
  size_t room = finalPath.size() - folder;
  size_t length = room < 12 ? (room < 3 ? 3 : room) : 12;
  if (folder + length >= kPathLimit) length = 3;
  static const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  std::string name = finalPath.substr(0, folder) + "~tv";
  for (size_t i = 3; i < length; ++i) name += kLetters[random() % (sizeof kLetters - 1)];
  return name;
}

}  // namespace

FileReplacement::~FileReplacement() { Abandon(); }

#ifdef _WIN32

bool FileReplacement::Begin(const char* finalPath, std::string& reason) {
  Abandon();
  final_ = finalPath ? finalPath : "";
  DWORD attributes = GetFileAttributesA(final_.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
      !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    reason = "is a folder";
    return false;
  }
  std::mt19937 random(GetCurrentProcessId() ^ GetTickCount() ^ static_cast<unsigned>(reinterpret_cast<UINT_PTR>(this)));
  for (int i = 0; i < kAttempts; ++i) {
    std::string candidate = TempCandidate(final_, random);
    HANDLE h = CreateFileA(candidate.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
      handle_ = h;
      temp_ = candidate;
      return true;
    }
    DWORD code = GetLastError();
    if (code != ERROR_FILE_EXISTS && code != ERROR_ALREADY_EXISTS) {
      reason = SystemReason(code);
      return false;
    }
  }
  reason = SystemReason(ERROR_FILE_EXISTS);
  return false;
}

bool FileReplacement::Write(const void* bytes, size_t n, std::string& reason) {
  if (!handle_) {
    reason = SystemReason(ERROR_INVALID_HANDLE);
    return false;
  }
  const char* p = static_cast<const char*>(bytes);
  while (n > 0) {
    DWORD chunk = n > (1u << 30) ? (1u << 30) : static_cast<DWORD>(n);
    DWORD written = 0;
    if (!WriteFile(handle_, p, chunk, &written, nullptr) || written == 0) {
      reason = SystemReason(GetLastError());
      return false;
    }
    p += written;
    n -= written;
  }
  return true;
}

bool FileReplacement::Commit(std::string& reason) {
  if (!handle_) {
    reason = SystemReason(ERROR_INVALID_HANDLE);
    return false;
  }
  bool ok = FlushFileBuffers(handle_) != 0;
  if (!ok) reason = SystemReason(GetLastError());
  CloseHandle(handle_);
  handle_ = nullptr;
  if (ok && !MoveFileExA(temp_.c_str(), final_.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    reason = SystemReason(GetLastError());
    ok = false;
  }
  if (!ok) {
    DeleteFileA(temp_.c_str());
  }
  temp_.clear();
  return ok;
}

void FileReplacement::Abandon() {
  if (handle_) CloseHandle(handle_);
  handle_ = nullptr;
  if (!temp_.empty()) DeleteFileA(temp_.c_str());
  temp_.clear();
}

#else

bool FileReplacement::Begin(const char* finalPath, std::string& reason) {
  Abandon();
  final_ = finalPath ? finalPath : "";
  struct stat old;
  bool hadFile = lstat(final_.c_str(), &old) == 0;
  if (hadFile && S_ISDIR(old.st_mode)) {
    reason = "is a folder";
    return false;
  }
  // A file the user may not write keeps protecting itself, as on Windows,
  // where a read-only file is not replaced.
  if (hadFile && S_ISREG(old.st_mode) && access(final_.c_str(), W_OK) != 0) {
    reason = std::strerror(errno);
    return false;
  }
  std::random_device seed;
  std::mt19937 random(seed() ^ static_cast<unsigned>(getpid()));
  for (int i = 0; i < kAttempts; ++i) {
    std::string candidate = TempCandidate(final_, random);
    int fd = open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
      fd_ = fd;
      temp_ = candidate;
      // A replaced file keeps its permissions (a link gets the default ones).
      if (hadFile && S_ISREG(old.st_mode)) fchmod(fd_, old.st_mode & 07777);
      return true;
    }
    if (errno != EEXIST) {
      reason = std::strerror(errno);
      return false;
    }
  }
  reason = std::strerror(EEXIST);
  return false;
}

bool FileReplacement::Write(const void* bytes, size_t n, std::string& reason) {
  if (fd_ < 0) {
    reason = std::strerror(EBADF);
    return false;
  }
  const char* p = static_cast<const char*>(bytes);
  while (n > 0) {
    ssize_t written = write(fd_, p, n);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      reason = std::strerror(written < 0 ? errno : ENOSPC);
      return false;
    }
    p += written;
    n -= static_cast<size_t>(written);
  }
  return true;
}

bool FileReplacement::Commit(std::string& reason) {
  if (fd_ < 0) {
    reason = std::strerror(EBADF);
    return false;
  }
  bool ok = fsync(fd_) == 0;
  if (!ok) reason = std::strerror(errno);
  if (close(fd_) != 0 && ok) {
    reason = std::strerror(errno);
    ok = false;
  }
  fd_ = -1;
  if (ok && rename(temp_.c_str(), final_.c_str()) != 0) {
    reason = std::strerror(errno);
    ok = false;
  }
  if (!ok) {
    unlink(temp_.c_str());
  } else {
    // The new name on disk too, as far as the folder allows.
    size_t folderEnd = FolderEnd(final_);
    std::string folder = folderEnd == 0 ? "." : final_.substr(0, folderEnd);
    int dir = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
      fsync(dir);
      close(dir);
    }
  }
  temp_.clear();
  return ok;
}

void FileReplacement::Abandon() {
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
  if (!temp_.empty()) unlink(temp_.c_str());
  temp_.clear();
}

#endif
