#include "movie_writing.h"

#include <cerrno>
#include <cstring>
#include <memory>
#include <new>

#include "../swf/bitmap_pool.h"
#include "../swf/control_tags.h"
#include "../swf/movie_header.h"
#include "../swf/swf_writer.h"
#include "movie_job.h"

const int kMaxCompressionThreads = kMaxBitmapThreads;

MovieSource GifFile(const FilePath& path) {
  MovieSource s;
  s.path = path;
  return s;
}

MovieSource GifInMemory(const uint8_t* data, size_t size) {
  MovieSource s;
  s.data = data;
  s.size = size;
  s.inMemory = true;
  return s;
}

MovieTarget MovieFile(const FilePath& path) {
  MovieTarget t;
  t.path = path;
  return t;
}

MovieTarget MovieInMemory(std::vector<uint8_t>& movie) {
  MovieTarget t;
  t.memory = &movie;
  return t;
}

namespace {

MovieResult Stopped(MovieStatus status, const std::string& reason = "") {
  MovieResult r;
  r.status = status;
  r.reason = reason;
  return r;
}

SourceEnd SourceEndOf(PassEnd end) {
  switch (end) {
    case PassEnd::kImageTooLarge: return SourceEnd::kImageTooLarge;
    case PassEnd::kScreenTooLarge: return SourceEnd::kScreenTooLarge;
    case PassEnd::kSourceUnreadable: return SourceEnd::kNotGif;
    case PassEnd::kWhole:
    case PassEnd::kOutOfMemory: break;
  }
  return SourceEnd::kWhole;
}

// The body, End, header and assembly once both passes have run.
MovieResult Assemble(MovieJob& job, SwfWriter& movie, const MovieTarget& target) {
  if (job.cancel.load()) {
    DiscardBody(movie);
    return Stopped(MovieStatus::kCancelled);
  }
  WriteEnd(movie);
  MovieHeader header;
  MakeHeader(header, job.canvasWidth, job.canvasHeight, job.movieFrameCount);
  uint8_t headerBytes[kHeaderBufferSize] = {0};
  int headerLength = 0;
  if (!ComposeHeader(header, movie.bodyLength, headerBytes, headerLength)) {
    DiscardBody(movie);
    return Stopped(MovieStatus::kNotWritable, "movie header");
  }
  AssemblyResult assembly = target.memory
                                ? AssembleMovieInMemory(movie, headerBytes, headerLength, *target.memory)
                                : AssembleMovie(movie, target.path.c_str(), headerBytes, headerLength, &job.cancel);
  switch (assembly.status) {
    case AssemblyStatus::kWritten: break;
    case AssemblyStatus::kCancelled: return Stopped(MovieStatus::kCancelled);
    case AssemblyStatus::kOutOfMemory: return Stopped(MovieStatus::kOutOfMemory, assembly.reason);
    case AssemblyStatus::kBodyIncomplete:
    case AssemblyStatus::kNotWritable: return Stopped(MovieStatus::kNotWritable, assembly.reason);
  }
  MovieResult r = Stopped(MovieStatus::kWritten);
  r.screenWidth = job.screenWidth;
  r.screenHeight = job.screenHeight;
  r.backgroundColour = job.backgroundColour;
  r.frameCount = job.framesSeen;
  return r;
}

}  // namespace

MovieResult WriteMovie(const MovieSource& source, const MovieOptions& options, const MovieTarget& target,
                       FrameListener* listener, std::atomic<bool>& cancel) {
  std::unique_ptr<MovieJob> job(new (std::nothrow) MovieJob(source, options, listener, cancel));
  std::unique_ptr<SwfWriter> movie(new (std::nothrow) SwfWriter);
  if (!job || !movie) return Stopped(MovieStatus::kOutOfMemory, std::strerror(ENOMEM));
  // Without a body the destination stays as it was.
  if (!(target.memory ? OpenBodyInMemory(*movie) : OpenBody(*movie)))
    return Stopped(MovieStatus::kNotWritable, movie->failReason);

  // What the page gets when the source is no readable GIF: the empty stage.
  job->screenWidth = job->screenHeight = kMinCanvasPixels;
  job->backgroundColour = options.useGifBackground ? 0x000000 : 0xFFFFFF;

  PassEnd counted = CountFrames(*job);
  if (counted == PassEnd::kOutOfMemory) return Stopped(MovieStatus::kOutOfMemory, std::strerror(ENOMEM));
  // A file that passed the job's checks but cannot be read now gives no
  // movie; bytes in memory are converted as far as they go.
  if (counted == PassEnd::kSourceUnreadable && !source.inMemory) return Stopped(MovieStatus::kSourceUnreadable);
  if (listener) listener->FrameCount(job->framesSeen);
  // Only the emission pass compresses; the threads end with it. More threads
  // than frames would only wait.
  int threads = options.compressionThreads;
  if (threads > job->framesSeen) threads = job->framesSeen;
  // Fewer threads than asked (or none) only make it slower.
  (void)StartBitmapThreads(*movie, threads, &job->cancel);
  PassEnd emitted = EmitFrames(*job, *movie);
  if (job->cancel.load())
    AbandonBitmaps(*movie);
  else
    FinishBitmaps(*movie);
  movie->compressor.Release();
  if (emitted == PassEnd::kOutOfMemory) {
    DiscardBody(*movie);
    return Stopped(MovieStatus::kOutOfMemory, std::strerror(ENOMEM));
  }
  MovieResult r = Assemble(*job, *movie, target);
  r.sourceEnd = SourceEndOf(emitted);
  return r;
}
