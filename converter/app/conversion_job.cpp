#include "conversion_job.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <thread>
#include <vector>

#include "../movie/movie_writing.h"
#include "../platform/file_start.h"
#include "../platform/path_limit.h"
#include "../platform/same_file.h"
#include "html_page.h"
#include "movie_name.h"
#include "settings_store.h"

namespace {

constexpr size_t kQuietPrefix = 6;  // "-quite"
constexpr size_t kMinQuietPath = 5;
constexpr size_t kShortDisplay = 40;
constexpr size_t kDisplayTail = 34;

bool PathFits(const char* path) { return path && std::strlen(path) < kPathLimit; }

ConversionResult Failure(ConversionStatus status, const std::string& path, const std::string& reason = "") {
  ConversionResult r;
  r.status = status;
  r.path = path;
  r.reason = reason;
  return r;
}

bool SamePath(const char* a, const char* b) { return std::strcmp(a, b) == 0 || IsSameFile(a, b); }

}  // namespace

bool IsGifFile(const char* path) {
  unsigned char signature[3] = {0};
  size_t got = 0;
  std::string reason;
  return ReadFileStart(path, signature, sizeof signature, got, reason) && StartsAsGif(signature, got);
}

namespace {

// The checks made before anything is written; kConverted when they pass.
ConversionResult CheckJob(const char* sourcePath, const char* destinationPath, const ConversionOptions& options) {
  if (!sourcePath || !*sourcePath) return Failure(ConversionStatus::kSourceUnreadable, "", std::strerror(ENOENT));
  if (!PathFits(sourcePath)) return Failure(ConversionStatus::kPathTooLong, sourcePath);
  if (!destinationPath || !*destinationPath) return Failure(ConversionStatus::kMovieNotWritable, "", std::strerror(ENOENT));
  if (!PathFits(destinationPath)) return Failure(ConversionStatus::kPathTooLong, destinationPath);
  // Writing the movie or page over its own source would destroy what it converts.
  if (SamePath(sourcePath, destinationPath)) return Failure(ConversionStatus::kDestinationIsSource, destinationPath);
  unsigned char signature[3] = {0};
  size_t got = 0;
  std::string reason;
  if (!ReadFileStart(sourcePath, signature, sizeof signature, got, reason))
    return Failure(ConversionStatus::kSourceUnreadable, sourcePath, reason);
  // Anything else would only give an empty movie over a good one.
  if (!StartsAsGif(signature, got))
    return Failure(ConversionStatus::kNotGif, sourcePath);
  if (options.writeHtml) {
    HtmlPageNames names;
    if (!MakeHtmlPageNames(destinationPath, names)) return Failure(ConversionStatus::kPathTooLong, names.pagePath);
    if (SamePath(sourcePath, names.pagePath.c_str()))
      return Failure(ConversionStatus::kDestinationIsSource, names.pagePath);
  }
  return ConversionResult();
}

// The movie side takes only what shapes the movie.
MovieOptions MovieOptionsFor(const ConversionOptions& o) {
  MovieOptions m;
  m.changeLoop = o.changeLoop;
  m.loopForever = o.loopForever;
  m.playCount = o.playCount;
  m.borderCorrection = o.borderCorrection;
  m.useGifBackground = o.useGifBackground;
  m.optimiseCanvas = o.optimiseCanvas;
  m.useLinkUrl = o.useLinkUrl;
  m.linkUrl = o.linkUrl;
  m.protect = o.protect;
  m.compressionThreads = CompressionThreads(o.threads);
  return m;
}

// Frames of the emission pass, reported to the job's progress sink.
class FrameProgress : public FrameListener {
 public:
  explicit FrameProgress(ProgressSink* sink) : sink_(sink) {}
  void FrameCount(int32_t frames) override { sink_->FrameCount(frames); }
  void FrameDone() override { sink_->FrameDone(); }

 private:
  ProgressSink* sink_;
};

// The job's status for a movie that was not written.
ConversionResult MovieFailure(const MovieResult& movie, const std::string& path) {
  switch (movie.status) {
    case MovieStatus::kWritten: break;
    case MovieStatus::kCancelled: return Failure(ConversionStatus::kCancelled, path);
    case MovieStatus::kSourceUnreadable: return Failure(ConversionStatus::kSourceUnreadable, path, movie.reason);
    case MovieStatus::kOutOfMemory:
    case MovieStatus::kNotWritable: return Failure(ConversionStatus::kMovieNotWritable, path, movie.reason);
  }
  return ConversionResult();
}

}  // namespace

int CompressionThreads(int32_t requested) {
  if (requested > 0) return requested < kMaxCompressionThreads ? requested : kMaxCompressionThreads;
  const char* text = std::getenv("TERVANO_THREADS");
  if (text && *text) {
    char* end = nullptr;
    long n = std::strtol(text, &end, 10);
    if (*end == '\0' && n >= 1 && n <= kMaxCompressionThreads) return static_cast<int>(n);
  }
  unsigned cores = std::thread::hardware_concurrency();
  if (cores < 1) return 1;
  return cores < static_cast<unsigned>(kMaxCompressionThreads) ? static_cast<int>(cores) : kMaxCompressionThreads;
}

ConversionResult ConvertFile(const char* sourcePath, const char* destinationPath, const ConversionOptions& options,
                             ProgressSink* progress, std::atomic<bool>* cancel) {
  ConversionResult checked = CheckJob(sourcePath, destinationPath, options);
  if (checked.status != ConversionStatus::kConverted) return checked;

  std::atomic<bool> noCancel{false};
  FrameProgress frames(progress);
  MovieResult movie = WriteMovie(GifFile(sourcePath), MovieOptionsFor(options), MovieFile(destinationPath),
                                 progress ? &frames : nullptr, cancel ? *cancel : noCancel);
  if (movie.status == MovieStatus::kSourceUnreadable)
    return Failure(ConversionStatus::kSourceUnreadable, sourcePath, movie.reason);
  if (movie.status != MovieStatus::kWritten) return MovieFailure(movie, destinationPath);
  ConversionResult result;
  result.path = destinationPath;
  if (options.writeHtml)
    result = WriteHtmlPage(destinationPath, movie.screenWidth, movie.screenHeight, movie.backgroundColour,
                           options.useGifBackground, options.fullMenu, progress, options.ruffleUrl);
  if (result.status == ConversionStatus::kConverted) result.path = destinationPath;
  result.sourceEnd = movie.sourceEnd;
  return result;
}

ConversionResult ConvertMemory(const uint8_t* data, size_t size, const ConversionOptions& options,
                               std::vector<uint8_t>& movie, ProgressSink* progress, std::atomic<bool>* cancel) {
  movie.clear();
  std::atomic<bool> noCancel{false};
  FrameProgress frames(progress);
  MovieResult made = WriteMovie(GifInMemory(data, size), MovieOptionsFor(options), MovieInMemory(movie),
                                progress ? &frames : nullptr, cancel ? *cancel : noCancel);
  if (made.status != MovieStatus::kWritten) return MovieFailure(made, "");
  ConversionResult result;
  result.sourceEnd = made.sourceEnd;
  return result;
}

ConversionResult ConvertGifInMemory(const uint8_t* data, size_t size, const std::string& movieName,
                                    const ConversionOptions& options, MemoryConversion& out, ProgressSink* progress,
                                    std::atomic<bool>* cancel) {
  out.movie.clear();
  out.page.clear();
  // The checks of a file conversion, on bytes instead of a file.
  if (!StartsAsGif(data, data ? size : 0)) return Failure(ConversionStatus::kNotGif, movieName);
  HtmlPageNames names;
  if (options.writeHtml && !MakeHtmlPageNames(movieName.c_str(), names))
    return Failure(ConversionStatus::kPathTooLong, names.pagePath);

  std::atomic<bool> noCancel{false};
  FrameProgress frames(progress);
  MovieResult made = WriteMovie(GifInMemory(data, size), MovieOptionsFor(options), MovieInMemory(out.movie),
                                progress ? &frames : nullptr, cancel ? *cancel : noCancel);
  if (made.status != MovieStatus::kWritten) return MovieFailure(made, movieName);
  ConversionResult result;
  result.path = movieName;
  result.sourceEnd = made.sourceEnd;
  if (!options.writeHtml) return result;
  try {
    out.page = ComposeHtmlPage(names, made.screenWidth, made.screenHeight, made.backgroundColour,
                               options.useGifBackground, options.fullMenu, options.ruffleUrl);
  } catch (const std::bad_alloc&) {
    out.movie.clear();
    return Failure(ConversionStatus::kPageNotWritable, names.pagePath, std::strerror(ENOMEM));
  }
  return result;
}

ConversionResult QuietConvertFile(const char* path) {
  size_t n = path ? std::strlen(path) : 0;
  if (n < kMinQuietPath) return Failure(ConversionStatus::kSourceUnreadable, path ? path : "", std::strerror(ENOENT));
  if (n >= kPathLimit) return Failure(ConversionStatus::kPathTooLong, path);
  std::string destination = MoviePathOf(path);
  // No window and nobody to cancel: no progress sink, no cancel flag.
  return ConvertFile(path, destination.c_str(), ReadQuietOptions());
}

int QuietConvert(const char* commandLine) {
  if (!commandLine || std::strlen(commandLine) < kQuietPrefix) return 1;
  const char* path = commandLine + kQuietPrefix;
  while (*path == ' ') ++path;
  return Succeeded(QuietConvertFile(path)) ? 0 : 1;
}

void ShortenPathForDisplay(char* text) {
  if (!text) return;
  size_t n = std::strlen(text);
  if (n <= kShortDisplay) return;
  // Head: up to the first backslash, if that leaves the tail whole and the
  // result inside the 260-byte slot.
  size_t head = 0;
  const char* slash = std::strchr(text, '\\');
  if (slash) head = static_cast<size_t>(slash - text) + 1;
  if (head > n - kDisplayTail || head + 3 + kDisplayTail >= kPathLimit) head = 0;
  char tail[kDisplayTail + 1];
  std::memcpy(tail, text + n - kDisplayTail, kDisplayTail + 1);
  std::memcpy(text + head, "...", 3);
  std::memcpy(text + head + 3, tail, kDisplayTail + 1);
}
