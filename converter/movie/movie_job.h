// The movie folder turns decoded GIF frames into movie content: frame
// bitmaps with border and crop, background, character ids, placement and
// removal, frame timing, the loop script and the link button.
//
// Design: the only folder that knows both sides. It uses converter/gif (the
// decoder), converter/swf (the movie writer and its tags) and the path limit
// of converter/platform, and nothing above them: the job hands it
// MovieOptions, a FrameListener and a cancel flag. A pass owns its decoder
// and frame pipeline, so nothing carries over from one pass to the next but
// the results below.
#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/path_limit.h"

// What the movie is made with. Flags: 0 off, anything else on.
struct MovieOptions {
  int32_t changeLoop = 0;        // loopForever/playCount decide, not the GIF
  int32_t loopForever = 0;
  int32_t playCount = 0;         // 1 plays once
  int32_t borderCorrection = 0;  // transparent one-pixel border
  int32_t useGifBackground = 0;
  int32_t optimiseCanvas = 0;    // crop full-screen frames
  int32_t useLinkUrl = 0;        // linkUrl is used only when set (it may be empty)
  std::string linkUrl;
  int32_t protect = 0;
  int32_t compressionLevel = 9;
};

// Told as the emission pass starts on each frame.
class FrameListener {
 public:
  virtual ~FrameListener() = default;
  virtual void FrameDone() = 0;
};

struct SwfWriter;

struct GifConverter {
  // Made for one file. progress may be null; cancel is the flag of whoever
  // runs the job, cleared at the start of each pass and read between codes.
  GifConverter(const char* path, const MovieOptions& options, FrameListener* progress, std::atomic<bool>& cancel);
  // Made for a GIF held in memory (size bytes at data, kept by the caller
  // for the whole job); no path is opened.
  GifConverter(const uint8_t* data, size_t size, const MovieOptions& options, FrameListener* progress,
               std::atomic<bool>& cancel);
  GifConverter(const GifConverter&) = delete;
  GifConverter& operator=(const GifConverter&) = delete;

  // Input, fixed for the job.
  char sourcePath[kPathLimit] = {0};  // empty when the path did not fit
  const uint8_t* sourceData = nullptr;  // memory source instead of the path
  size_t sourceSize = 0;
  MovieOptions options;
  FrameListener* progress = nullptr;
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

// Reads the whole GIF once. With no movie (the counting pass) it only counts
// frames, into framesSeen and totalFrames; with a movie (the emission pass)
// it writes the background, protection and every frame into it.
void ConvertPass(GifConverter& g, SwfWriter* movie);

// Whether bytes begin as every GIF does: the job checks its source with
// this before anything is written.
bool StartsAsGif(const unsigned char* bytes, size_t size);
