// Runs the LZW decoder on one image of a GIF held in memory, the way the GIF
// decoder does: input positioned at the minimum code size byte, rectangle
// and interlacing set, a raster of screenHeight rows of padded stride.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "support/gif_builder.h"

struct DecodeRun {
  bool opened = false;
  int32_t stride = 0;
  std::vector<uint8_t> screen;  // screenHeight rows of stride bytes
  bool guardsIntact = true;     // bytes around the screen buffer untouched
  int64_t pixelsStored = 0, pixelsFilled = 0;
  bool terminatorSeen = false, dataEnded = false, endCodeSeen = false;
  int32_t codeWidth = 0, nextFreeCode = 0, tableFull = 0;
  size_t endOffset = 0;  // offset in the GIF after decoding
};

struct DecodeSetup {
  int screenWidth = 0, screenHeight = 0;
  int fillIndex = 0;
  uint8_t initial = 0xEE;  // screen bytes before decoding
  bool cancel = false;     // cancel flag set before decoding starts
};

DecodeRun RunDecodeImage(const std::vector<uint8_t>& gif, const gifbuild::ImageInfo& image,
                         const DecodeSetup& setup);

// The image rectangle cut out of a decoded screen, top row first.
std::vector<uint8_t> CutRectangle(const DecodeRun& run, const gifbuild::ImageInfo& image);
