// The state of one conversion's GIF side: input, colour tables, per-frame
// control data, decoder, frame records, options and the results of a pass.
// The job makes one per file and hands it, with the movie writer, down to the
// reader, the decoder and the frame pipeline.
#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "../app/conversion_options.h"
#include "../app/progress_sink.h"
#include "frame_bitmap.h"
#include "gif_input.h"
#include "lzw_decoder.h"

constexpr int kMaxPath = 260;  // path buffers; at most 259 bytes plus the zero

struct SwfWriter;

struct GifConverter {
  // Made for one file. The options are copied (border correction may be
  // switched off during the emission pass). progress may be null; cancel is
  // the flag of whoever runs the job, read between codes.
  GifConverter(const char* path, const ConversionOptions& options, ProgressSink* progress,
               std::atomic<bool>& cancel);
  // Made for a GIF held in memory (size bytes at data, kept by the caller
  // for the whole job); no path is opened.
  GifConverter(const uint8_t* data, size_t size, const ConversionOptions& options, ProgressSink* progress,
               std::atomic<bool>& cancel);
  GifConverter(const GifConverter&) = delete;
  GifConverter& operator=(const GifConverter&) = delete;

  // Input, fixed for the job.
  char sourcePath[kMaxPath] = {0};  // empty when the path did not fit
  const uint8_t* sourceData = nullptr;  // memory source instead of the path
  size_t sourceSize = 0;
  ConversionOptions options;
  int32_t compressionLevel = 9;
  ProgressSink* progress = nullptr;
  std::atomic<bool>& cancel;

  // Frame records of the emission pass.
  RectangleShape shape;
  FrameBitmap bitmap;

  // Screen buffer: screenHeight rows of screenStride bytes. calloc'ed: the
  // pages of a large screen that no image touches are never written.
  struct FreeBytes {
    void operator()(uint8_t* p) const { std::free(p); }
  };
  std::unique_ptr<uint8_t[], FreeBytes> screen;
  int32_t screenStride = 0;

  // Screen and colour state.
  uint8_t currentColours[256 * 3] = {0};
  uint8_t globalColours[256 * 3] = {0};
  int32_t screenWidth = 0, screenHeight = 0;
  int32_t currentTableBits = 0;  // table has 1 << bits entries; 0: none
  int32_t globalTableBits = 0;
  bool greyRamp = false;          // the frame has no colour table at all
  uint32_t backgroundColour = 0;  // 0xRRGGBB
  int32_t backgroundIndex = 0;
  int32_t loopCount = -1;

  // Per-frame control data, cleared after every image.
  uint8_t transparentIndices[256] = {0};
  int32_t transparentCount = 0;
  int32_t delay = 0;     // hundredths of a second
  int32_t disposal = 0;  // 0..7

  // Counters and results of a pass.
  bool countingPass = false;
  int32_t framesSeen = 0;
  int32_t totalFrames = 0;  // frames found by the counting pass
  int32_t nextCharacterId = 1;
  int32_t movieFrameCount = 0;
  int32_t canvasWidth = 18, canvasHeight = 18;
  int32_t displayListCount = 0;
  int32_t qualitySwitchPending = 1;

  GifInput input;
  LzwState lzw;
};

void ResetPassState(GifConverter& g);

// Reads the whole GIF file (or memory source) once. With no movie (the
// counting pass) it only counts frames, into framesSeen and totalFrames; with
// a movie (the emission pass) it emits every frame into it.
void ConvertPass(GifConverter& g, SwfWriter* movie);
