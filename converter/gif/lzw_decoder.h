// LZW decoding of one GIF image into the screen buffer.
#pragma once
#include <cstdint>

constexpr int kLzwMaxCodes = 4096;
constexpr int kLzwMaxCodeWidth = 12;

struct LzwEntry {
  int16_t prefix;  // -1 for a root
  int16_t suffix;  // last colour index of the entry's string
  int16_t length;  // colour indices in the string
};

struct LzwState {
  LzwEntry table[kLzwMaxCodes];
  int16_t string[kLzwMaxCodes + 8];
  int32_t stringLength = 0;
  int32_t nextFreeCode = 0;
  int32_t codeWidth = 0;
  int32_t tableFull = 0;
  int32_t minimumCodeSize = 0;
  int32_t clearCode = 0;
  int32_t currentCode = 0;
  // Bit reader over the data sub-blocks, least significant bit first.
  uint32_t accumulator = 0;
  int32_t bitsHeld = 0;
  int32_t subBlockLength = 0;
  int32_t bytesTaken = 0;
  bool terminatorSeen = false;  // the zero-length block terminator was read
  bool dataEnded = false;       // data ran out (terminator or end of file) while decoding
  // Raster placement.
  int32_t imageLeft = 0, imageTop = 0, imageWidth = 0, imageHeight = 0;
  int32_t cursorX = 0, cursorY = 0;
  int32_t rowStep = 1;       // set by the reader: 8 for an interlaced image, else 1
  int32_t interlacePass = 0; // after decoding: 0 non-interlaced, 1..4 pass reached, 5 done
  int64_t pixelTotal = 0;
  int64_t pixelsStored = 0;  // positions of the rectangle decoded from the data
  int64_t pixelsFilled = 0;  // positions given the fill index (data ran out)
  bool endCodeSeen = false;
};

struct GifConverter;

// Decodes the image whose descriptor (and local colour table) has just been
// read; the file is positioned at the minimum code size byte. Pixels that the
// data does not supply (data cut short, early end code, unusable minimum code
// size) are given `fillIndex`; after a cancel the rest is left as it was.
// Positions outside the screen are counted but not written. Afterwards the
// file is positioned just after the image's block terminator (or at its end).
void DecodeImage(GifConverter& g, int fillIndex);
