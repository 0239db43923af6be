// A file written under a temporary name in its own folder and put in place
// of the old one only when it is whole and on disk: a full disk, a write
// error, a cancel or a killed process never leave a cut or empty file where
// a good one was. A symbolic link at the final path is itself replaced; its
// target is never written.
#pragma once
#include <cstddef>
#include <string>

class FileReplacement {
 public:
  FileReplacement() = default;
  // Unfinished work is abandoned: the temporary file goes, the old stays.
  ~FileReplacement();
  FileReplacement(const FileReplacement&) = delete;
  FileReplacement& operator=(const FileReplacement&) = delete;

  // Creates the temporary file beside finalPath. False, with the system's
  // reason, when it cannot be made (no folder, no rights, finalPath a
  // folder).
  [[nodiscard]] bool Begin(const char* finalPath, std::string& reason);
  // Appends n bytes; false with the reason on any short write.
  [[nodiscard]] bool Write(const void* bytes, size_t n, std::string& reason);
  // Flushes the file to disk and renames it over finalPath. False with the
  // reason when any of that fails; the old file is then as it was.
  [[nodiscard]] bool Commit(std::string& reason);
  // Deletes the temporary file (also done by the destructor).
  void Abandon();

 private:
#ifdef _WIN32
  void* handle_ = nullptr;  // HANDLE
#else
  int fd_ = -1;
#endif
  std::string temp_;
  std::string final_;
};
