#include "conversion_job.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <thread>
#include <vector>

#include "../movie/gif_converter.h"
#include "../platform/file_start.h"
#include "../platform/path_limit.h"
#include "../platform/same_file.h"
#include "../swf/bitmap_pool.h"
#include "../swf/control_tags.h"
#include "../swf/movie_header.h"
#include "../swf/swf_writer.h"
#include "html_page.h"
#include "movie_name.h"
#include "settings_store.h"

namespace {

constexpr size_t kQuietPrefix = 6;  // "-quite"
constexpr size_t kMinQuietPath = 5;
constexpr size_t kShortDisplay = 40;
constexpr size_t kDisplayTail = 34;

bool PathFits(const char* path) { return path && std::strlen(path) < kPathLimit; }

enum class JobOutcome { kWritten, kNotWritten, kCancelled };

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
  return m;
}

// Frames of the emission pass, reported to the job's progress sink.
class FrameProgress : public FrameListener {
 public:
  explicit FrameProgress(ProgressSink* sink) : sink_(sink) {}
  void FrameDone() override { sink_->FrameDone(); }

 private:
  ProgressSink* sink_;
};

// Both passes, header and assembly of one conversion into a movie whose body
// is open; the movie goes to destinationPath, or into *memoryMovie when that
// is given.
JobOutcome RunConversion(GifConverter& g, SwfWriter& movie, ProgressSink* progress, int32_t requestedThreads,
                         const char* destinationPath, std::vector<uint8_t>* memoryMovie, std::string& reason) {
  // What the page gets when the source is no readable GIF: the empty stage.
  g.screenWidth = g.screenHeight = kMinCanvasPixels;
  g.backgroundColour = g.options.useGifBackground ? 0x000000 : 0xFFFFFF;

  ConvertPass(g, nullptr);
  if (progress) progress->FrameCount(g.framesSeen);
  // Only the emission pass compresses; the threads end with it. More threads
  // than frames would only wait.
  int threads = CompressionThreads(requestedThreads);
  if (threads > g.framesSeen) threads = g.framesSeen;
  StartBitmapThreads(movie, threads, &g.cancel);
  ConvertPass(g, &movie);
  if (g.cancel.load())
    AbandonBitmaps(movie);
  else
    FinishBitmaps(movie);
  movie.compressor.Release();

  if (g.cancel.load()) {
    DiscardBody(movie);
    return JobOutcome::kCancelled;
  }
  WriteEnd(movie);
  MovieHeader header;
  MakeHeader(header, g.canvasWidth, g.canvasHeight, g.movieFrameCount);
  uint8_t headerBytes[kHeaderBufferSize] = {0};
  int headerLength = 0;
  ComposeHeader(header, movie.bodyLength, headerBytes, headerLength);
  if (memoryMovie)
    return AssembleMovieInMemory(movie, headerBytes, headerLength, *memoryMovie) ? JobOutcome::kWritten
                                                                                 : JobOutcome::kNotWritten;
  AssemblyResult assembly = AssembleMovie(movie, destinationPath, headerBytes, headerLength, &g.cancel);
  reason = assembly.reason;
  if (assembly.status == AssemblyStatus::kWritten) return JobOutcome::kWritten;
  return assembly.status == AssemblyStatus::kCancelled ? JobOutcome::kCancelled : JobOutcome::kNotWritten;
}

}  // namespace

int CompressionThreads(int32_t requested) {
  if (requested > 0) return requested < kMaxBitmapThreads ? requested : kMaxBitmapThreads;
  const char* text = std::getenv("TERVANO_THREADS");
  if (text && *text) {
    char* end = nullptr;
    long n = std::strtol(text, &end, 10);
    if (*end == '\0' && n >= 1 && n <= kMaxBitmapThreads) return static_cast<int>(n);
  }
  unsigned cores = std::thread::hardware_concurrency();
  if (cores < 1) return 1;
  return cores < static_cast<unsigned>(kMaxBitmapThreads) ? static_cast<int>(cores) : kMaxBitmapThreads;
}

ConversionResult ConvertFile(const char* sourcePath, const char* destinationPath, const ConversionOptions& options,
                             ProgressSink* progress, std::atomic<bool>* cancel) {
  ConversionResult checked = CheckJob(sourcePath, destinationPath, options);
  if (checked.status != ConversionStatus::kConverted) return checked;

  std::atomic<bool> noCancel{false};
  std::atomic<bool>& cancelFlag = cancel ? *cancel : noCancel;
  FrameProgress frames(progress);
  std::unique_ptr<GifConverter> g(new (std::nothrow) GifConverter(sourcePath, MovieOptionsFor(options),
                                                                  progress ? &frames : nullptr, cancelFlag));
  std::unique_ptr<SwfWriter> movie(new (std::nothrow) SwfWriter);
  if (!g || !movie) return Failure(ConversionStatus::kMovieNotWritable, destinationPath, std::strerror(ENOMEM));
  // Without a body the destination stays as it was.
  if (!OpenBody(*movie)) return Failure(ConversionStatus::kMovieNotWritable, destinationPath, movie->failReason);

  std::string reason;
  JobOutcome outcome = RunConversion(*g, *movie, progress, options.threads, destinationPath, nullptr, reason);
  if (outcome == JobOutcome::kCancelled) return Failure(ConversionStatus::kCancelled, destinationPath);
  if (outcome == JobOutcome::kNotWritten) return Failure(ConversionStatus::kMovieNotWritable, destinationPath, reason);
  ConversionResult result;
  result.path = destinationPath;
  if (options.writeHtml)
    result = WriteHtmlPage(destinationPath, g->screenWidth, g->screenHeight, g->backgroundColour,
                           options.useGifBackground, options.fullMenu, progress, options.ruffleUrl);
  return result;
}

ConversionResult ConvertMemory(const uint8_t* data, size_t size, const ConversionOptions& options,
                               std::vector<uint8_t>& movie, ProgressSink* progress, std::atomic<bool>* cancel) {
  movie.clear();
  std::atomic<bool> noCancel{false};
  std::atomic<bool>& cancelFlag = cancel ? *cancel : noCancel;
  FrameProgress frames(progress);
  std::unique_ptr<GifConverter> g(new (std::nothrow) GifConverter(data, size, MovieOptionsFor(options),
                                                                  progress ? &frames : nullptr, cancelFlag));
  std::unique_ptr<SwfWriter> writer(new (std::nothrow) SwfWriter);
  if (!g || !writer || !OpenBodyInMemory(*writer))
    return Failure(ConversionStatus::kMovieNotWritable, "", std::strerror(ENOMEM));
  std::string reason;
  switch (RunConversion(*g, *writer, progress, options.threads, nullptr, &movie, reason)) {
    case JobOutcome::kWritten: return ConversionResult();
    case JobOutcome::kCancelled: return Failure(ConversionStatus::kCancelled, "");
    case JobOutcome::kNotWritten: break;
  }
  return Failure(ConversionStatus::kMovieNotWritable, "", std::strerror(ENOMEM));
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
