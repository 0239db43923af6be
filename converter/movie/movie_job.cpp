#include "gif_converter.h"

#include <cstring>
#include <memory>
#include <new>

#include "../gif/gif_decoder.h"
#include "../swf/control_tags.h"
#include "../swf/swf_writer.h"
#include "frame_pipeline.h"

GifConverter::GifConverter(const char* path, const MovieOptions& jobOptions, FrameListener* listener,
                           std::atomic<bool>& cancelFlag)
    : options(jobOptions), progress(listener), cancel(cancelFlag) {
  size_t n = path ? std::strlen(path) : 0;
  if (n >= sizeof sourcePath) n = 0;  // over-long: nothing is opened
  if (n) std::memcpy(sourcePath, path, n);
  sourcePath[n] = '\0';
}

GifConverter::GifConverter(const uint8_t* data, size_t size, const MovieOptions& jobOptions,
                           FrameListener* listener, std::atomic<bool>& cancelFlag)
    : sourceData(data), sourceSize(size), options(jobOptions), progress(listener), cancel(cancelFlag) {}

void ConvertPass(GifConverter& g, SwfWriter* movie) {
  const bool counting = movie == nullptr;
  g.cancel.store(false);
  g.framesSeen = 0;
  if (counting) g.totalFrames = 0;
  g.movieFrameCount = 0;
  g.canvasWidth = g.canvasHeight = 18;

  // Decoder and pipeline belong to the pass: the next one starts afresh.
  std::unique_ptr<GifDecoder> decoder(new (std::nothrow) GifDecoder);
  std::unique_ptr<FramePipeline> pipeline(new (std::nothrow) FramePipeline);
  if (!decoder || !pipeline) {
    if (movie) MarkBodyFailed(*movie);
    return;
  }
  GifDecoder& d = *decoder;
  GifStatus status = g.sourceData ? OpenGifMemory(d, g.sourceData, g.sourceSize, !counting, &g.cancel)
                                  : OpenGif(d, g.sourcePath, !counting, &g.cancel);
  if (status != GifStatus::kFrame) return;
  g.screenWidth = d.screen.width;
  g.screenHeight = d.screen.height;
  g.backgroundColour = d.screen.backgroundColour;

  FramePipeline& p = *pipeline;
  if (movie) {
    if (g.options.useGifBackground)
      WriteBackgroundColor(*movie, g.backgroundColour);
    else
      g.backgroundColour = 0xFFFFFF;
    if (g.options.protect) WriteProtect(*movie);
    StartPipeline(p, g.options, g.progress, g.backgroundColour, d.screen.backgroundIndex);
  }

  GifFrame frame;
  for (;;) {
    status = NextFrame(d, frame);
    if (status != GifStatus::kFrame) break;
    ++g.framesSeen;
    if (movie) EmitFrame(p, frame, g.framesSeen == g.totalFrames, d.loopCount, *movie);
  }
  // A stream cut off by a frame it cannot handle keeps the frames so far,
  // but leaves the total unset, so none of them is the last.
  if (counting && status == GifStatus::kEnd) g.totalFrames = g.framesSeen;
  g.movieFrameCount = p.movieFrameCount;
  g.canvasWidth = p.canvasWidth;
  g.canvasHeight = p.canvasHeight;
}

bool StartsAsGif(const unsigned char* bytes, size_t size) { return HasGifSignature(bytes, size); }
