// LZW decoding of one GIF image's data into a raster. The caller owns the
// code table (LzwDecoder, kept from image to image) and the raster; nothing
// else is remembered between calls, and the result says how the data ended.
#pragma once
#include <atomic>
#include <cstdint>

#include "gif_input.h"

constexpr int kLzwMaxCodes = 4096;
constexpr int kLzwMaxCodeWidth = 12;

struct LzwEntry {
  int16_t prefix;  // -1 for a root
  int16_t suffix;  // last colour index of the entry's string
  int16_t length;  // colour indices in the string
};

// The code table and the scratch for strings that cannot go straight to the
// raster. Large: made once per decoder, not per image.
struct LzwDecoder {
  LzwEntry table[kLzwMaxCodes];
  int16_t string[kLzwMaxCodes + 8];
};

// Where the colour indices go: screenHeight rows of stride bytes, of which
// the first screenWidth columns are the screen, and the image rectangle on it.
struct LzwRaster {
  uint8_t* screen = nullptr;
  int32_t stride = 0;
  int32_t screenWidth = 0, screenHeight = 0;
  int32_t left = 0, top = 0, width = 0, height = 0;
  bool interlaced = false;
};

enum class LzwEnd {
  kComplete,      // every position of the rectangle came from the data
  kEndCode,       // an end code came first
  kDataEnded,     // the data ran out (block terminator or end of file)
  kNothingToDo,   // an empty rectangle, or a minimum code size the table cannot hold
  kCancelled,     // the cancel flag was seen
};

struct LzwResult {
  LzwEnd end = LzwEnd::kComplete;
  int64_t pixelsStored = 0;  // positions of the rectangle decoded from the data
  int64_t pixelsFilled = 0;  // positions given the fill index
  bool terminatorSeen = false;  // the zero-length block terminator was read
  // The table when decoding stopped.
  int32_t codeWidth = 0;
  int32_t nextFreeCode = 0;
  bool tableFull = false;
};

// Decodes the image data at the input's position (the minimum code size
// byte). Positions the data does not supply (data cut short, early end code,
// unusable minimum code size) get fillIndex; after a cancel the rest is left
// as it was. Positions outside the screen are counted but not written.
// Afterwards the input is just after the block terminator (or at its end).
// cancel may be null; it is looked at between codes.
[[nodiscard]] LzwResult DecodeLzw(LzwDecoder& decoder, GifInput& in, const LzwRaster& raster, int fillIndex,
                    const std::atomic<bool>* cancel);
