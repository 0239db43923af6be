#include "process_lock.h"

#ifdef _WIN32
#include <windows.h>

ProcessLock::ProcessLock(const char* name) : name_(name ? name : "") {
  mutex_ = CreateMutexA(nullptr, FALSE, name_.c_str());
}

ProcessLock::~ProcessLock() {
  Release();
  if (mutex_) CloseHandle(static_cast<HANDLE>(mutex_));
}

bool ProcessLock::Acquire(int timeoutMs) {
  if (held_ || !mutex_) return held_;
  DWORD r = WaitForSingleObject(static_cast<HANDLE>(mutex_), timeoutMs < 0 ? 0 : static_cast<DWORD>(timeoutMs));
  // A holder that died without releasing leaves the mutex abandoned; what it
  // guarded is plain registry values, which stay consistent value by value.
  held_ = r == WAIT_OBJECT_0 || r == WAIT_ABANDONED;
  return held_;
}

void ProcessLock::Release() {
  if (held_) ReleaseMutex(static_cast<HANDLE>(mutex_));
  held_ = false;
}

#else
#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include "registry_keys.h"

namespace {

bool MakeFolders(const std::string& folder) {
  for (size_t i = 1; i <= folder.size(); ++i) {
    if ((i == folder.size() || folder[i] == '/') && mkdir(folder.substr(0, i).c_str(), 0700) != 0 &&
        errno != EEXIST)
      return false;
  }
  return true;
}

}  // namespace

ProcessLock::ProcessLock(const char* name) : name_(name ? name : "") {}

ProcessLock::~ProcessLock() { Release(); }

bool ProcessLock::Acquire(int timeoutMs) {
  if (held_) return true;
  if (fd_ < 0) {
    std::string folder = KeyStoreFolder();
    if (folder.empty() || name_.empty() || !MakeFolders(folder)) return false;
    fd_ = open((folder + "/" + name_ + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd_ < 0) return false;
  }
  timespec start{};
  clock_gettime(CLOCK_MONOTONIC, &start);
  for (;;) {
    if (flock(fd_, LOCK_EX | LOCK_NB) == 0) return held_ = true;
    if (errno != EWOULDBLOCK && errno != EINTR) return false;
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    long waited = (now.tv_sec - start.tv_sec) * 1000 + (now.tv_nsec - start.tv_nsec) / 1000000;
    if (waited >= timeoutMs) return false;
    timespec pause{0, 1000 * 1000};
    nanosleep(&pause, nullptr);
  }
}

void ProcessLock::Release() {
  if (fd_ >= 0) close(fd_);  // also releases the lock
  fd_ = -1;
  held_ = false;
}

#endif
