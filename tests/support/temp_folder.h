// Points the system temp folder of this process at a fresh folder of the
// test's own, so tests can see every temporary file the converter makes.
#pragma once
#include <string>

class ScopedTempFolder {
 public:
  explicit ScopedTempFolder(const std::string& name);
  ~ScopedTempFolder();
  const std::string& path() const { return path_; }
  int FileCount() const;
  // Makes the temp folder a path that cannot be created or written.
  void PointAtMissingFolder();

 private:
  std::string path_;
  std::string saved_;
  bool hadSaved_ = false;
};

// The folder every test program writes into: test-movies/ of the build
// folder, fixed when the tests are built, so that a test program started by
// hand from any folder never writes into the source tree.
std::string TestOutputFolder();

// A fresh, empty folder under TestOutputFolder()/work for a test's own files.
std::string FreshFolder(const std::string& name);

// Runs the quiet conversion with `dir` as the current folder, so command
// lines can name files there by their short names. Returns the exit code.
int QuietConvertIn(const std::string& dir, const std::string& commandLine);
