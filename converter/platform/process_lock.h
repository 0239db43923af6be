// A lock shared by all processes of the program, for changes of the
// settings key that take several steps (the file hand-off, the start-up
// decision). On Windows a named mutex; elsewhere a lock file beside the key
// files.
#pragma once
#include <string>

class ProcessLock {
 public:
  explicit ProcessLock(const char* name);
  ~ProcessLock();  // releases the lock if held
  ProcessLock(const ProcessLock&) = delete;
  ProcessLock& operator=(const ProcessLock&) = delete;

  // Waits at most timeoutMs for the lock; false when it could not be had.
  [[nodiscard]] bool Acquire(int timeoutMs);
  void Release();
  [[nodiscard]] bool held() const { return held_; }

 private:
  std::string name_;
  bool held_ = false;
#ifdef _WIN32
  void* mutex_ = nullptr;
#else
  int fd_ = -1;
#endif
};
