// The converter state of the process: reader, colour tables, per-frame
// control data, decoder, frame records, options and the results of a pass.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "../platform/window_messages.h"
#include "../swf/bitmap_tag.h"
#include "../swf/shape_tag.h"
#include "gif_input.h"
#include "lzw_decoder.h"

constexpr int kMaxPath = 260;  // path buffers; at most 259 bytes plus the zero

struct GifConverter {
  ShapeSpec shape;
  FrameBitmap bitmap;

  // Screen buffer: screenHeight rows of screenStride bytes.
  std::unique_ptr<uint8_t[]> screen;
  int32_t screenStride = 0;

  uint8_t currentColours[256 * 3] = {0};
  uint8_t globalColours[256 * 3] = {0};
  uint8_t transparentIndices[256] = {0};

  char sourcePath[kMaxPath] = {0};
  WindowHandle progressWindow = nullptr;

  int32_t transparentCount = 0;
  int32_t delay = 0;     // hundredths of a second
  int32_t disposal = 0;  // 0..7

  uint8_t firstPass = 0;
  volatile uint8_t cancel = 0;  // set by the user-interface thread

  int32_t framesSeen = 0;
  int32_t totalFrames = 0;
  int32_t nextCharacterId = 1;
  uint32_t backgroundColour = 0;  // 0xRRGGBB
  int32_t backgroundIndex = 0;
  int32_t screenWidth = 0, screenHeight = 0;
  int32_t currentTableBits = 0;  // table has 1 << bits entries; 0: none
  int32_t globalTableBits = 0;
  int32_t loopCount = -1;
  int32_t qualitySwitchPending = 1;
  int32_t canvasWidth = 18, canvasHeight = 18;
  int32_t movieFrameCount = 0;

  // Options, copied from the conversion's options before pass one.
  int32_t optionChangeLoop = 0;
  int32_t optionLoopForever = 0;
  int32_t optionLoopValue = 0;
  int32_t compressionLevel = 9;
  int32_t optionBackGround = 1;
  int32_t optionTransparent = 0;
  int32_t optionCanvasSize = 0;
  int32_t optionProtect = 0;
  bool hasLinkUrl = false;
  std::string linkUrl;

  GifInput input;
  LzwState lzw;

  int32_t displayListCount = 0;
};

// The one converter of the process, made on first use with background on and
// compression level 9.
GifConverter& TheGifConverter();

void ResetPassState(GifConverter& g);

// Reads the whole GIF file. Pass one (firstPass set) stores path and window
// and counts frames; pass two reuses them and emits every frame into the
// movie body.
void ConvertPass(GifConverter& g, const char* path, bool firstPass, WindowHandle window);
