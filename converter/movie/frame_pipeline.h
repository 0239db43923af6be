// Turns each decoded frame of the emission pass into movie tags, and keeps
// what the movie needs from frame to frame: character ids, the display list
// count, the canvas extents and the movie frame count.
#pragma once
#include <cstdint>

#include "../swf/bitmap_tag.h"
#include "../swf/shape_tag.h"
#include "movie_writing.h"

struct GifFrame;
struct SwfWriter;

struct FramePipeline {
  // Fixed for the pass.
  const MovieOptions* options = nullptr;
  FrameListener* progress = nullptr;
  uint32_t backgroundColour = 0;  // of the disposal rectangles
  int referenceIndex = -1;        // background index for cropping, or kNoReferenceIndex
  // Border correction stops for the rest of the movie when a frame has no
  // free colour index for the border.
  bool borderCorrection = false;

  int32_t nextCharacterId = 1;  // first character id and depth of the next frame
  int32_t displayListCount = 0;
  bool qualitySwitchPending = true;
  int32_t movieFrameCount = 0;
  int32_t canvasWidth = 18, canvasHeight = 18;

  // Records of the current frame; the pixel buffer serves every frame.
  FrameBitmap bitmap;
  RectangleShape shape;
};

// Ready for a pass: options and background from the job and the GIF screen.
void StartPipeline(FramePipeline& p, const MovieOptions& options, FrameListener* progress,
                   uint32_t backgroundColour, int32_t backgroundIndex);

// Writes one frame: bitmap, shape and placement, the link button on the
// first frame, the loop script on the last, its run of ShowFrame tags and
// its disposal. The frame's transparent list may gain the border index.
// gifLoopCount is the loop count the GIF has given so far (-1: none).
void EmitFrame(FramePipeline& p, GifFrame& frame, bool lastFrame, int32_t gifLoopCount, SwfWriter& movie);

// Movie frames that stand for a GIF delay in hundredths of a second.
[[nodiscard]] int MovieFramesForDelay(int delay);
