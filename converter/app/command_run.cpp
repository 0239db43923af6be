#include "command_run.h"

#ifndef _WIN32

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "../movie/gif_converter.h"
#include "../platform/registry_keys.h"
#include "conversion_job.h"
#include "settings_store.h"

namespace {

struct FileJob {
  std::string source;
  std::string movie;
  bool ready = false;  // not refused before the conversion
  bool converted = false;
};

// stderr: error lines, and the progress line when it is on. Several threads
// report at once, so every write holds the lock.
class Reporter {
 public:
  Reporter(bool progress, size_t total) : progress_(progress), total_(total) {}

  void Error(const std::string& text) {
    std::lock_guard<std::mutex> lock(mutex_);
    ClearLine();
    std::fprintf(stderr, "tervano: %s\n", text.c_str());
    ShowLine();
  }

  void Done(const std::string& name) {
    std::lock_guard<std::mutex> lock(mutex_);
    ++done_;
    last_ = name;
    ShowLine();
  }

  void Finish() {
    std::lock_guard<std::mutex> lock(mutex_);
    ClearLine();
  }

 private:
  void ClearLine() {
    if (shown_) std::fputs("\r\033[K", stderr);
    shown_ = false;
  }
  void ShowLine() {
    if (!progress_ || done_ == 0) return;
    std::fprintf(stderr, "\r\033[K[%zu/%zu] %s", done_, total_, last_.c_str());
    std::fflush(stderr);
    shown_ = true;
  }

  std::mutex mutex_;
  bool progress_;
  size_t total_;
  size_t done_ = 0;
  std::string last_;
  bool shown_ = false;
};

std::string TooLong(const std::string& path) {
  return "path too long (" + std::to_string(path.size()) + " bytes, at most " + std::to_string(kMaxPath - 1) + ")";
}

std::string FolderOf(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// The movie path with its folder resolved, so that two spellings of one
// movie compare equal.
std::string MovieKey(const std::string& movie) {
  char* folder = realpath(FolderOf(movie).c_str(), nullptr);
  if (!folder) return movie;
  std::string key = std::string(folder) + "/" + movie.substr(movie.rfind('/') + 1);
  std::free(folder);
  return key;
}

// NAME.swf from NAME.gif (any last extension), beside the source or in outputDir.
std::string MoviePath(const std::string& source, const std::string& outputDir) {
  size_t slash = source.rfind('/');
  size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  std::string name = source.substr(nameStart);
  size_t dot = name.rfind('.');
  if (dot != std::string::npos && dot > 0) name.erase(dot);
  std::string folder = source.substr(0, nameStart);
  if (!outputDir.empty()) folder = outputDir.back() == '/' ? outputDir : outputDir + "/";
  return folder + name + ".swf";
}

// Refuses a file whose movie is already that of an earlier file (two jobs
// writing one movie would race); reports and returns false then.
bool Prepare(const FileJob& job, std::map<std::string, std::string>& movies, Reporter& report) {
  std::string key = MovieKey(job.movie);
  auto earlier = movies.find(key);
  if (earlier != movies.end()) {
    report.Error(job.source + ": its movie " + job.movie + " is already the movie of " + earlier->second);
    return false;
  }
  movies[key] = job.source;
  return true;
}

// The one stderr line for a file that was not converted.
std::string Problem(const FileJob& job, const ConversionResult& r) {
  const std::string& s = job.source;
  switch (r.status) {
    case ConversionStatus::kConverted:
    case ConversionStatus::kCancelled: break;
    case ConversionStatus::kSourceUnreadable: return s + ": " + r.reason;
    case ConversionStatus::kNotGif: return s + ": not a GIF file";
    case ConversionStatus::kPathTooLong:
      if (r.path == s) return s + ": " + TooLong(s);
      return s + (r.path == job.movie ? ": movie " : ": page ") + r.path + ": " + TooLong(r.path);
    case ConversionStatus::kDestinationIsSource:
      return s + (r.path == job.movie ? ": the movie " : ": the page ") + r.path + " would replace the GIF itself";
    case ConversionStatus::kMovieNotWritable:
    case ConversionStatus::kPageNotWritable:
      return s + ": cannot write " + r.path + (r.reason.empty() ? "" : ": " + r.reason);
  }
  return "";
}

void Convert(FileJob& job, const ConversionOptions& options, Reporter& report) {
  ConversionResult result = ConvertFile(job.source.c_str(), job.movie.c_str(), options);
  job.converted = result.status == ConversionStatus::kConverted;
  if (!job.converted) report.Error(Problem(job, result));
  report.Done(job.source);
}

// mkdir -p; "" or why not.
std::string MakeFolder(const std::string& folder) {
  for (size_t i = 1; i <= folder.size(); ++i) {
    if (i < folder.size() && folder[i] != '/') continue;
    if (mkdir(folder.substr(0, i).c_str(), 0777) != 0 && errno != EEXIST) return std::strerror(errno);
  }
  struct stat st;
  if (stat(folder.c_str(), &st) != 0) return std::strerror(errno);
  return S_ISDIR(st.st_mode) ? "" : std::strerror(ENOTDIR);
}

int SaveOverrides(const std::vector<StoredValue>& overrides) {
  int ok = 1;
  for (const StoredValue& v : overrides) {
    int stored = v.isText ? WriteSettingText(v.name.c_str(), v.text.c_str())
                          : WriteSettingNumber(v.name.c_str(), v.number);
    if (!stored) ok = 0;
  }
  return ok;
}

void ShowOptions() {
  std::string file = KeyFilePath(kSettingsKeyPath);
  if (access(file.c_str(), F_OK) == 0)
    std::printf("Stored options (%s):\n", file.c_str());
  else
    std::printf("Stored options (none stored yet, so every option is off; --save-options writes %s):\n",
                file.empty() ? "no file: no folder for the store" : file.c_str());
  std::fputs(DescribeOptions(ReadQuietOptions()).c_str(), stdout);
}

// Runs the jobs on up to `threads` threads; each job is one ConvertFile.
void ConvertAll(std::vector<FileJob>& jobs, const ConversionOptions& options, int threads, Reporter& report) {
  std::vector<FileJob*> ready;
  for (FileJob& job : jobs)
    if (job.ready) ready.push_back(&job);
  std::atomic<size_t> next{0};
  auto work = [&] {
    for (size_t i; (i = next.fetch_add(1)) < ready.size();) Convert(*ready[i], options, report);
  };
  std::vector<std::thread> pool;
  for (size_t t = 1; t < static_cast<size_t>(threads) && t < ready.size(); ++t) {
    try {
      pool.emplace_back(work);
    } catch (...) {
      break;  // no more threads: the ones running share the rest
    }
  }
  work();
  for (std::thread& t : pool) t.join();
}

}  // namespace

int RunCommandLine(const CommandLine& command) {
  if (command.help) {
    std::fputs(HelpText(KeyStoreFolder()).c_str(), stdout);
    return 0;
  }
  if (command.version) {
    std::printf("%s\n", kVersionText);
    return 0;
  }
  int status = 0;
  if (command.saveOptions && !SaveOverrides(command.overrides)) {
    std::string folder = KeyStoreFolder();
    std::fprintf(stderr, "tervano: cannot save the options in %s\n", folder.empty() ? "(no folder)" : folder.c_str());
    status = 1;
  }
  if (command.showOptions) ShowOptions();
  if (command.files.empty()) return status;

  ConversionOptions options = ReadQuietOptions();
  ApplyOverrides(command.overrides, options);

  bool progress = !command.quiet && command.files.size() > 1 && isatty(STDERR_FILENO);
  Reporter report(progress, command.files.size());
  if (!command.outputDir.empty()) {
    std::string problem = MakeFolder(command.outputDir);
    if (!problem.empty()) {
      report.Error("cannot make the output folder " + command.outputDir + ": " + problem);
      return 1;
    }
  }
  std::vector<FileJob> jobs(command.files.size());
  std::map<std::string, std::string> movies;
  for (size_t i = 0; i < jobs.size(); ++i) {
    jobs[i].source = command.files[i];
    jobs[i].movie = MoviePath(command.files[i], command.outputDir);
    jobs[i].ready = Prepare(jobs[i], movies, report);
    if (!jobs[i].ready) report.Done(jobs[i].source);
  }
  int threads = command.jobs;
  if (threads <= 0) threads = static_cast<int>(std::thread::hardware_concurrency());
  ConvertAll(jobs, options, threads > 0 ? threads : 1, report);
  report.Finish();
  for (const FileJob& job : jobs)
    if (!job.converted) status = 1;
  return status;
}

#endif  // !_WIN32
