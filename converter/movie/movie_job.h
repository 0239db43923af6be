// The state of one movie job and its two passes over the GIF. A pass owns
// its decoder and frame pipeline, so nothing carries over from one pass to
// the next but the results kept here.
#pragma once
#include <atomic>
#include <cstdint>

#include "movie_writing.h"

struct SwfWriter;

struct MovieJob {
  MovieJob(const MovieSource& source, const MovieOptions& options, FrameListener* listener,
           std::atomic<bool>& cancel)
      : source(source), options(options), listener(listener), cancel(cancel) {}
  MovieJob(const MovieJob&) = delete;
  MovieJob& operator=(const MovieJob&) = delete;

  // Input, fixed for the job.
  const MovieSource& source;
  MovieOptions options;
  FrameListener* listener = nullptr;
  std::atomic<bool>& cancel;

  // Results of the passes. The screen and background stay as they were when
  // the source is no readable GIF.
  int32_t screenWidth = 0, screenHeight = 0;
  uint32_t backgroundColour = 0;  // 0xRRGGBB; white after the emission pass without the GIF background
  int32_t framesSeen = 0;   // frames of the last pass
  int32_t totalFrames = 0;  // frames found by the counting pass; 0 when it stopped early
  int32_t movieFrameCount = 0;
  int32_t canvasWidth = 18, canvasHeight = 18;
};

// How a pass ended.
enum class PassEnd {
  kWhole,            // the stream's end
  kImageTooLarge,    // an image larger than the screen stopped it
  kScreenTooLarge,   // no screen: no frame at all
  kSourceUnreadable, // the GIF could not be opened, or is no GIF
  kOutOfMemory,      // the pass's decoder or pipeline could not be made
};

// Reads the whole GIF once, only counting frames into framesSeen and
// totalFrames.
[[nodiscard]] PassEnd CountFrames(MovieJob& job);
// Reads the whole GIF again and writes the background, protection and every
// frame into the movie.
[[nodiscard]] PassEnd EmitFrames(MovieJob& job, SwfWriter& movie);
