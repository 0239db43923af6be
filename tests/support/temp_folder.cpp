#include "temp_folder.h"

#include "app/conversion_job.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

#ifdef _WIN32
#include <windows.h>
static const char* kTempVariable = "TMP";
#else
static const char* kTempVariable = "TMPDIR";
#endif

namespace fs = std::filesystem;

static void SetVariable(const char* name, const std::string& value) {
#ifdef _WIN32
  SetEnvironmentVariableA(name, value.c_str());
#else
  setenv(name, value.c_str(), 1);
#endif
}

static void UnsetVariable(const char* name) {
#ifdef _WIN32
  SetEnvironmentVariableA(name, nullptr);
#else
  unsetenv(name);
#endif
}

// Windows programs (and Wine's shell) want backslashes throughout.
std::string TestOutputFolder() { return fs::path(TERVANO_TEST_OUTPUT_DIR).make_preferred().string(); }

std::string FreshFolder(const std::string& name) {
  std::error_code ec;
  fs::path p = (fs::path(TestOutputFolder()) / "work" / name).make_preferred();
  fs::remove_all(p, ec);
  fs::create_directories(p, ec);
  return p.string();
}

ScopedTempFolder::ScopedTempFolder(const std::string& name) {
  path_ = FreshFolder("tmp-" + name);
#ifdef _WIN32
  char buf[4096];
  DWORD n = GetEnvironmentVariableA(kTempVariable, buf, sizeof buf);
  if (n > 0 && n < sizeof buf) {
    saved_ = buf;
    hadSaved_ = true;
  }
#else
  if (const char* v = std::getenv(kTempVariable)) {
    saved_ = v;
    hadSaved_ = true;
  }
#endif
  SetVariable(kTempVariable, path_);
}

ScopedTempFolder::~ScopedTempFolder() {
  if (hadSaved_)
    SetVariable(kTempVariable, saved_);
  else
    UnsetVariable(kTempVariable);
}

int ScopedTempFolder::FileCount() const {
  std::error_code ec;
  int n = 0;
  for (fs::directory_iterator it(path_, ec), end; !ec && it != end; it.increment(ec)) ++n;
  return n;
}

void ScopedTempFolder::PointAtMissingFolder() {
  SetVariable(kTempVariable, (fs::path(path_) / "missing" / "deeper").string());
}

int QuietConvertIn(const std::string& dir, const std::string& commandLine) {
  std::error_code ec;
  fs::path saved = fs::current_path(ec);
  fs::current_path(dir, ec);
  int r = QuietConvert(commandLine.c_str());
  fs::current_path(saved, ec);
  return r;
}
