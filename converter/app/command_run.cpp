#include "command_run.h"

#ifndef _WIN32

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unordered_map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "../movie/movie_writing.h"
#include "../platform/registry_keys.h"
#include "conversion_job.h"
#include "settings_store.h"
#include "platform/path_limit.h"

namespace {

struct FileJob {
  std::string source;
  std::string movie;
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
    if (total_)
      std::fprintf(stderr, "\r\033[K[%zu/%zu] %s", done_, total_, last_.c_str());
    else
      std::fprintf(stderr, "\r\033[K[%zu] %s", done_, last_.c_str());
    std::fflush(stderr);
    shown_ = true;
  }

  std::mutex mutex_;
  bool progress_;
  size_t total_;  // 0: not known (a list is still being read)
  size_t done_ = 0;
  std::string last_;
  bool shown_ = false;
};

std::string TooLong(const std::string& path) {
  return "path too long (" + std::to_string(path.size()) + " bytes, at most " + std::to_string(kPathLimit - 1) + ")";
}

std::string FolderOf(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
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

// The line for a movie that holds only part of its GIF; empty when whole.
std::string PartialNote(const FileJob& job, const ConversionResult& r) {
  if (r.status != ConversionStatus::kConverted) return "";
  switch (r.sourceEnd) {
    case SourceEnd::kWhole:
    case SourceEnd::kNotGif: break;
    case SourceEnd::kImageTooLarge:
      return job.source + ": an image is larger than the screen; the movie stops before it";
    case SourceEnd::kScreenTooLarge: return job.source + ": the screen is too large to convert; the movie is empty";
  }
  return "";
}

bool Convert(const FileJob& job, const ConversionOptions& options, Reporter& report) {
  ConversionResult result = ConvertFile(job.source.c_str(), job.movie.c_str(), options);
  bool converted = result.status == ConversionStatus::kConverted;
  if (!converted) report.Error(Problem(job, result));
  std::string partial = PartialNote(job, result);
  if (!partial.empty()) report.Error(partial);
  report.Done(job.source);
  return converted;
}

// The names to convert: the command line's, then those of the list, read
// one at a time as the converting threads ask, so a list of any length
// holds no more than one name per thread. Every movie path handed out is
// kept (resolved) to refuse a later file with the same movie; that set is
// all that grows with the list.
class FileSource {
 public:
  FileSource(const CommandLine& command, std::FILE* list, Reporter& report)
      : command_(command), list_(list), report_(report) {}
  ~FileSource() { std::free(line_); }

  // The next file to convert, under the lock; false when there is none.
  bool Next(FileJob& job) {
    std::lock_guard<std::mutex> lock(mutex_);
    std::string name;
    while (NextName(name)) {
      job.source = name;
      job.movie = MoviePath(name, command_.outputDir);
      if (Claim(job)) return true;
      failed_ = true;
      report_.Done(job.source);
    }
    return false;
  }

  // A file refused before its conversion, or the list could not be read.
  bool Failed() {
    std::lock_guard<std::mutex> lock(mutex_);
    return failed_;
  }

 private:
  bool NextName(std::string& name) {
    if (nextFile_ < command_.files.size()) {
      name = command_.files[nextFile_++];
      return true;
    }
    if (!list_) return false;
    int end = command_.nullSeparated ? '\0' : '\n';
    for (;;) {
      errno = 0;
      ssize_t n = getdelim(&line_, &size_, end, list_);
      if (n < 0) {
        if (std::ferror(list_)) {
          report_.Error("cannot read the file list " + ListName() + ": " + std::strerror(errno ? errno : EIO));
          failed_ = true;
        }
        list_ = nullptr;
        return false;
      }
      size_t length = static_cast<size_t>(n);
      if (length > 0 && line_[length - 1] == end) --length;
      // A blank line is no name; with -0 an empty name is a file like any other.
      if (length == 0 && !command_.nullSeparated) continue;
      name.assign(line_, length);
      return true;
    }
  }

  std::string ListName() const { return command_.filesFrom == "-" ? "(standard input)" : command_.filesFrom; }

  // The movie path with its folder resolved, so that two spellings of one
  // movie compare equal; folders are resolved once each.
  std::string MovieKey(const std::string& movie) {
    std::string folder = FolderOf(movie);
    auto known = folders_.find(folder);
    if (known == folders_.end()) {
      char* resolved = realpath(folder.c_str(), nullptr);
      known = folders_.emplace(folder, resolved ? std::string(resolved) : std::string()).first;
      std::free(resolved);
    }
    if (known->second.empty()) return movie;
    return known->second + "/" + movie.substr(movie.rfind('/') + 1);
  }

  // Refuses a file whose movie is already that of an earlier file (two
  // jobs writing one movie would race); reports and returns false then.
  bool Claim(const FileJob& job) {
    std::string key = MovieKey(job.movie);
    auto earlier = movies_.find(key);
    if (earlier != movies_.end()) {
      report_.Error(job.source + ": its movie " + job.movie + " is already the movie of " + earlier->second);
      return false;
    }
    movies_.emplace(std::move(key), job.source);
    return true;
  }

  const CommandLine& command_;
  std::FILE* list_;
  Reporter& report_;
  std::mutex mutex_;
  size_t nextFile_ = 0;
  char* line_ = nullptr;
  size_t size_ = 0;
  bool failed_ = false;
  std::unordered_map<std::string, std::string> movies_;   // resolved movie -> its source
  std::unordered_map<std::string, std::string> folders_;  // movie folder -> resolved ("" when it cannot be)
};

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

OptionsSaved SaveOverrides(const std::vector<StoredValue>& overrides) {
  OptionsSaved saved;
  for (const StoredValue& v : overrides) {
    // --no-ruffle removes the address rather than storing an empty one.
    bool remove = v.isText && v.text.empty() && v.name == kRuffleValue;
    KeyResult stored = v.isText ? WriteSettingText(v.name.c_str(), remove ? nullptr : v.text.c_str())
                                : WriteSettingNumber(v.name.c_str(), v.number);
    if (!stored.done() && saved.done()) saved = {stored, v.name};
  }
  return saved;
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

// The threads of a run share the cores: `jobs` converting threads (this one
// among them), each with its compression threads, cores + 2 in all at most.
// A job's bitmaps in flight are bounded per compression thread, and no job
// gets more of those than a lone one would, so the bitmaps held stay within
// one job's bound times the jobs.
struct ThreadShare {
  int jobs = 1;
  int compression = 1;  // per job; 1 compresses on the converting thread
};

ThreadShare ShareThreads(int requestedJobs, size_t knownFiles) {
  unsigned hardware = std::thread::hardware_concurrency();
  int cores = hardware > 0 && hardware < 4096 ? static_cast<int>(hardware) : 1;
  int budget = cores + 2;
  ThreadShare share;
  share.jobs = requestedJobs > 0 ? requestedJobs : cores;
  if (share.jobs > budget) share.jobs = budget;
  // With the count known, no converting thread waits for nothing.
  if (knownFiles > 0 && static_cast<size_t>(share.jobs) > knownFiles) share.jobs = static_cast<int>(knownFiles);
  int compression = CompressionThreads(0);
  int room = budget / share.jobs - 1;  // besides each job's converting thread
  if (compression > room) compression = room;
  share.compression = compression >= 2 ? compression : 1;
  return share;
}

// Converts every file of the source on `jobs` threads; true when all were.
bool ConvertAll(FileSource& source, const ConversionOptions& options, int jobs, Reporter& report) {
  std::atomic<bool> allConverted{true};
  auto work = [&] {
    FileJob job;
    while (source.Next(job))
      if (!Convert(job, options, report)) allConverted = false;
  };
  std::vector<std::thread> pool;
  for (int t = 1; t < jobs; ++t) {
    try {
      pool.emplace_back(work);
    } catch (...) {
      break;  // no more threads: the ones running share the rest
    }
  }
  work();
  for (std::thread& t : pool) t.join();
  return allConverted.load();
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
  // A reader of our output that went away is reported by write errors, not
  // by a signal that ends the run halfway.
  signal(SIGPIPE, SIG_IGN);
  int status = 0;
  OptionsSaved saved = command.saveOptions ? SaveOverrides(command.overrides) : OptionsSaved();
  if (!saved.done()) {
    std::string folder = KeyStoreFolder();
    std::fprintf(stderr, "tervano: cannot save the options in %s: %s: %s\n",
                 folder.empty() ? "(no folder)" : folder.c_str(), saved.valueName.c_str(), saved.result.reason.c_str());
    status = 1;
  }
  if (command.showOptions) ShowOptions();
  if (command.files.empty() && command.filesFrom.empty()) return status;

  ConversionOptions options = ReadQuietOptions();
  ApplyOverrides(command.overrides, options);

  std::FILE* list = nullptr;
  if (!command.filesFrom.empty()) {
    list = command.filesFrom == "-" ? stdin : std::fopen(command.filesFrom.c_str(), "r");
    if (!list) {
      std::fprintf(stderr, "tervano: cannot read the file list %s: %s\n", command.filesFrom.c_str(),
                   std::strerror(errno));
      return 1;
    }
  }
  size_t known = list ? 0 : command.files.size();
  bool progress = !command.quiet && (list || known > 1) && isatty(STDERR_FILENO);
  Reporter report(progress, known);
  int result = 0;
  if (!command.outputDir.empty()) {
    std::string problem = MakeFolder(command.outputDir);
    if (!problem.empty()) {
      report.Error("cannot make the output folder " + command.outputDir + ": " + problem);
      result = 1;
    }
  }
  if (result == 0) {
    ThreadShare share = ShareThreads(command.jobs, known);
    options.threads = share.compression;
    FileSource source(command, list, report);
    bool converted = ConvertAll(source, options, share.jobs, report);
    if (!converted || source.Failed()) result = 1;
  }
  report.Finish();
  if (list && list != stdin) std::fclose(list);
  return result != 0 ? 1 : status;
}

#endif  // !_WIN32
