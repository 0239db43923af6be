#include "movie_job.h"

#include <memory>
#include <new>

#include "../gif/gif_decoder.h"
#include "../swf/control_tags.h"
#include "../swf/swf_writer.h"
#include "frame_pipeline.h"

namespace {

PassEnd EndOf(GifStatus status) {
  switch (status) {
    case GifStatus::kFrame:
    case GifStatus::kEnd: return PassEnd::kWhole;
    case GifStatus::kImageTooLarge: return PassEnd::kImageTooLarge;
    case GifStatus::kScreenTooLarge: return PassEnd::kScreenTooLarge;
    case GifStatus::kCannotOpen:
    case GifStatus::kNotGif: break;
  }
  return PassEnd::kSourceUnreadable;
}

// Both passes; movie is null for the counting one.
PassEnd RunPass(MovieJob& job, SwfWriter* movie) {
  const bool counting = movie == nullptr;
  job.cancel.store(false);
  job.framesSeen = 0;
  if (counting) job.totalFrames = 0;
  job.movieFrameCount = 0;
  job.canvasWidth = job.canvasHeight = 18;

  // Decoder and pipeline belong to the pass: the next one starts afresh.
  std::unique_ptr<GifDecoder> decoder(new (std::nothrow) GifDecoder);
  std::unique_ptr<FramePipeline> pipeline(new (std::nothrow) FramePipeline);
  if (!decoder || !pipeline) {
    if (movie) MarkBodyFailed(*movie);
    return PassEnd::kOutOfMemory;
  }
  GifDecoder& d = *decoder;
  const MovieSource& source = job.source;
  GifStatus status = source.inMemory ? OpenGifMemory(d, source.data, source.size, !counting, &job.cancel)
                                     : OpenGif(d, source.path.c_str(), !counting, &job.cancel);
  if (status != GifStatus::kFrame) return EndOf(status);
  job.screenWidth = d.screen.width;
  job.screenHeight = d.screen.height;
  job.backgroundColour = d.screen.backgroundColour;

  FramePipeline& p = *pipeline;
  if (movie) {
    if (job.options.useGifBackground)
      WriteBackgroundColor(*movie, job.backgroundColour);
    else
      job.backgroundColour = 0xFFFFFF;
    if (job.options.protect) WriteProtect(*movie);
    StartPipeline(p, job.options, job.listener, job.backgroundColour, d.screen.backgroundIndex);
  }

  GifFrame frame;
  for (;;) {
    status = NextFrame(d, frame);
    if (status != GifStatus::kFrame) break;
    ++job.framesSeen;
    if (movie) EmitFrame(p, frame, job.framesSeen == job.totalFrames, d.loopCount, *movie);
  }
  // A stream cut off by a frame it cannot handle keeps the frames so far,
  // but leaves the total unset, so none of them is the last.
  if (counting && status == GifStatus::kEnd) job.totalFrames = job.framesSeen;
  job.movieFrameCount = p.movieFrameCount;
  job.canvasWidth = p.canvasWidth;
  job.canvasHeight = p.canvasHeight;
  return EndOf(status);
}

}  // namespace

PassEnd CountFrames(MovieJob& job) { return RunPass(job, nullptr); }

PassEnd EmitFrames(MovieJob& job, SwfWriter& movie) { return RunPass(job, &movie); }

bool StartsAsGif(const unsigned char* bytes, size_t size) { return HasGifSignature(bytes, size); }
