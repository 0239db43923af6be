// The GIF decoder: reads a GIF stream (87a or 89a) block by block and hands
// out its logical screen, colour tables and frames, one at a time, each with
// its control data and its pixels decoded onto the screen raster.
//
// Design: this folder knows nothing of movies, options or windows and uses
// no other folder of the converter. A decoder is the state of one reading;
// the caller owns it (it is large: keep it on the heap) and drives it with
// OpenGif / NextFrame, which say why they stopped. The LZW decoder below it
// (lzw_decoder.h) keeps only its code table and returns a result.
#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "gif_input.h"
#include "lzw_decoder.h"

// Larger screens are refused like a failed allocation, on every platform alike.
constexpr size_t kMaxScreenBytes = size_t(1) << 28;

enum class GifStatus {
  kFrame,            // NextFrame: a frame was read
  kEnd,              // the end of the stream (only the end of the file ends it)
  kCannotOpen,       // the file cannot be opened
  kNotGif,           // no "GIF" signature
  kImageTooLarge,    // an image wider or higher than the screen
  kScreenTooLarge,   // the screen is over kMaxScreenBytes, or cannot be allocated
};

// The logical screen descriptor and the global colour table.
struct GifScreen {
  int32_t width = 0, height = 0;
  int32_t backgroundIndex = 0;
  uint32_t backgroundColour = 0;  // 0xRRGGBB of backgroundIndex; black past the table
  int32_t globalTableBits = 0;    // the table has 1 << bits entries; 0: none
  uint8_t globalColours[256 * 3] = {0};
};

// One image with the control data that came before it. Pointers are into
// the decoder and valid until its next NextFrame.
struct GifFrame {
  int32_t left = 0, top = 0, width = 0, height = 0;  // image rectangle
  bool interlaced = false;
  const uint8_t* colours = nullptr;  // 256 RGB entries: the table in force
  int32_t tableBits = 0;             // entries in use: 1 << tableBits
  bool greyRamp = false;             // the image had no colour table at all
  uint8_t transparent[256] = {0};    // transparent indices, each once
  int32_t transparentCount = 0;
  int32_t delay = 0;     // hundredths of a second
  int32_t disposal = 0;  // 0..7
  // The screen raster holding the decoded image (null when only counting).
  const uint8_t* screen = nullptr;
  int32_t screenStride = 0;
  int32_t screenWidth = 0, screenHeight = 0;
  LzwResult pixels;  // how decoding went (untouched when only counting)
};

struct GifDecoder {
  GifDecoder() = default;
  GifDecoder(const GifDecoder&) = delete;
  GifDecoder& operator=(const GifDecoder&) = delete;
  ~GifDecoder() { CloseInput(input); }

  GifScreen screen;
  int32_t loopCount = -1;  // from a NETSCAPE2.0 extension read so far; -1: none

  // Reading state.
  GifInput input;
  bool decodePixels = true;  // false: frames are counted, their data skipped
  const std::atomic<bool>* cancel = nullptr;
  LzwDecoder lzw;
  uint8_t currentColours[256 * 3] = {0};
  // Control data for the next image.
  GifFrame pending;
  // Screen raster: screen.height rows of stride bytes. calloc'ed: the pages
  // of a large screen that no image touches are never written.
  struct FreeBytes {
    void operator()(uint8_t* p) const { std::free(p); }
  };
  std::unique_ptr<uint8_t[], FreeBytes> raster;
  int32_t stride = 0;
};

// True when the size bytes begin with "GIF", the signature of every GIF
// whatever its version.
[[nodiscard]] bool HasGifSignature(const unsigned char* bytes, size_t size);

// Starts reading the file at path (or size bytes at data, which must
// outlive the reading) up to the end of the global colour table. With
// decodePixels false, NextFrame skips the image data (counting needs no
// pixels and no raster). cancel (may be null) stops decoding between codes.
// Returns kFrame when the screen was read.
[[nodiscard]] GifStatus OpenGif(GifDecoder& d, const char* path, bool decodePixels, const std::atomic<bool>* cancel);
[[nodiscard]] GifStatus OpenGifMemory(GifDecoder& d, const uint8_t* data, size_t size, bool decodePixels,
                        const std::atomic<bool>* cancel);

// Reads up to and including the next image. kFrame fills frame; anything
// else ends the stream (the decoder closes its input).
[[nodiscard]] GifStatus NextFrame(GifDecoder& d, GifFrame& frame);
