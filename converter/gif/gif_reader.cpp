#include <cstdlib>
#include <cstring>
#include <new>

#include "../swf/control_tags.h"
#include "../swf/geometry.h"
#include "frame_pipeline.h"
#include "gif_converter.h"

namespace {

constexpr int kExtensionIntroducer = 0x21;
constexpr int kImageSeparator = 0x2C;
constexpr int kLabelComment = 0xFE;
constexpr int kLabelGraphicControl = 0xF9;
constexpr int kLabelApplication = 0xFF;
// Larger screens are refused like a failed allocation, on every platform alike.
constexpr size_t kMaxScreenBytes = size_t(1) << 28;

void SkipSubBlocks(GifInput& in) {
  for (;;) {
    int length = ReadByte(in);
    if (length <= 0) return;  // terminator or end of file
    SkipBytes(in, static_cast<size_t>(length));
  }
}

void ReadColourTable(GifInput& in, uint8_t* table, int bits) {
  int entries = 1 << bits;
  for (int i = 0; i < entries * 3; ++i) {
    int v = ReadByte(in);
    table[i] = static_cast<uint8_t>(v < 0 ? 0 : v);
  }
}

void AddTransparentIndex(GifConverter& g, uint8_t index) {
  // Each index is listed once, so the 256 slots hold every possible index.
  for (int i = 0; i < g.transparentCount; ++i)
    if (g.transparentIndices[i] == index) return;
  if (g.transparentCount < 256) g.transparentIndices[g.transparentCount++] = index;
}

void ReadGraphicControl(GifConverter& g) {
  GifInput& in = g.input;
  ReadByte(in);  // block size, not checked
  int packed = ReadByte(in);
  if (packed < 0) return;
  g.disposal = (packed >> 2) & 7;
  g.delay = ReadWordLE(in);
  int index = ReadByte(in);
  if ((packed & 1) && index >= 0) AddTransparentIndex(g, static_cast<uint8_t>(index));
  SkipSubBlocks(in);
}

void ReadApplication(GifConverter& g) {
  GifInput& in = g.input;
  int size = ReadByte(in);
  if (size < 0) return;
  if (size == 11) {
    char id[11];
    for (char& c : id) c = static_cast<char>(ReadByte(in));
    if (std::memcmp(id, "NETSCAPE2.0", 11) == 0) {
      SkipBytes(in, 2);  // sub-block length and id
      g.loopCount = ReadWordLE(in);
    }
  } else {
    SkipBytes(in, static_cast<size_t>(size));
  }
  SkipSubBlocks(in);
}

void ReadExtension(GifConverter& g) {
  GifInput& in = g.input;
  int label = ReadByte(in);
  if (label == kLabelComment) {
    // Up to and including the first zero byte.
    for (int b = ReadByte(in); b > 0; b = ReadByte(in)) {
    }
  } else if (label == kLabelGraphicControl) {
    ReadGraphicControl(g);
  } else if (label == kLabelApplication) {
    ReadApplication(g);
  } else if (label >= 0) {
    SkipSubBlocks(in);
  }
}

bool EnsureScreen(GifConverter& g) {
  if (g.screen) return true;
  size_t stride = static_cast<size_t>(g.screenWidth) + RowPadding(g.screenWidth);
  size_t bytes = stride * static_cast<size_t>(g.screenHeight);
  if (bytes > kMaxScreenBytes) return false;
  // Counting decodes nothing, so it needs no screen, only the same limit.
  if (g.countingPass) return true;
  g.screen.reset(static_cast<uint8_t*>(std::calloc(bytes ? bytes : 1, 1)));
  g.screenStride = static_cast<int32_t>(stride);
  return g.screen != nullptr;
}

// Without any colour table a frame shows its indices as shades of grey.
void UseGreyRamp(GifConverter& g) {
  for (int i = 0; i < 256; ++i) std::memset(g.currentColours + i * 3, i, 3);
  g.currentTableBits = 8;
  g.greyRamp = true;
}

enum class ImageResult { kDone, kEndOfFile, kAbandon };

ImageResult ReadImage(GifConverter& g, SwfWriter* movie) {
  GifInput& in = g.input;
  int left = ReadWordLE(in);
  int top = ReadWordLE(in);
  int width = ReadWordLE(in);
  int height = ReadWordLE(in);
  int packed = ReadByte(in);
  if (in.atEnd) return ImageResult::kEndOfFile;
  if (width > g.screenWidth || height > g.screenHeight) return ImageResult::kAbandon;
  // The screen buffer only ever holds the current image, so one buffer serves
  // every image of the pass.
  if (!EnsureScreen(g)) return ImageResult::kAbandon;

  std::memcpy(g.currentColours, g.globalColours, sizeof g.currentColours);
  g.currentTableBits = g.globalTableBits;
  g.greyRamp = false;
  if (packed & 0x80) {
    g.currentTableBits = (packed & 7) + 1;
    ReadColourTable(in, g.currentColours, g.currentTableBits);
  }
  if (g.currentTableBits == 0) UseGreyRamp(g);

  LzwState& z = g.lzw;
  z.imageLeft = left;
  z.imageTop = top;
  z.imageWidth = width;
  z.imageHeight = height;
  z.rowStep = (packed & 0x40) ? 8 : 1;
  if (!movie) {
    // Counting needs no pixels: step over the data by its sub-blocks, which
    // ends exactly where decoding would.
    ReadByte(in);  // minimum code size
    SkipSubBlocks(in);
  } else {
    int fill = g.transparentCount > 0 ? g.transparentIndices[0] : 0;
    DecodeImage(g, fill);
  }

  ++g.framesSeen;
  if (movie) EmitFrame(g, *movie);
  g.nextCharacterId += 2;
  g.delay = 0;
  g.disposal = 0;
  g.transparentCount = 0;
  return ImageResult::kDone;
}

}  // namespace

void ConvertPass(GifConverter& g, SwfWriter* movie) {
  ResetPassState(g);
  g.countingPass = movie == nullptr;
  if (g.countingPass) g.totalFrames = 0;
  GifInput& in = g.input;
  if (g.sourceData) {
    if (!OpenInputMemory(in, g.sourceData, g.sourceSize)) return;
  } else if (!g.sourcePath[0] || !OpenInput(in, g.sourcePath)) {
    return;
  }

  int signature = (ReadWordBE(in) << 8) + ReadByte(in);
  if (signature != 0x474946) {  // "GIF"
    CloseInput(in);
    return;
  }
  SkipBytes(in, 3);  // version: 87a and 89a alike

  g.screenWidth = ReadWordLE(in);
  g.screenHeight = ReadWordLE(in);
  int packed = ReadByte(in);
  g.backgroundIndex = ReadByte(in);
  ReadByte(in);  // pixel aspect
  if (packed < 0) packed = 0;
  if (g.backgroundIndex < 0) g.backgroundIndex = 0;
  g.globalTableBits = (packed & 0x80) ? (packed & 7) + 1 : 0;
  g.transparentCount = 0;
  g.delay = 0;
  g.disposal = 0;
  g.backgroundColour = 0;
  std::memset(g.globalColours, 0, sizeof g.globalColours);
  if (g.globalTableBits) {
    ReadColourTable(in, g.globalColours, g.globalTableBits);
    std::memcpy(g.currentColours, g.globalColours, sizeof g.currentColours);
    // An index past the table names no colour: black.
    if (g.backgroundIndex < (1 << g.globalTableBits)) {
      const uint8_t* e = g.globalColours + g.backgroundIndex * 3;
      g.backgroundColour = (uint32_t(e[0]) << 16) | (uint32_t(e[1]) << 8) | e[2];
    }
  }

  if (movie) {
    if (g.options.useGifBackground)
      WriteBackgroundColor(*movie, g.backgroundColour);
    else
      g.backgroundColour = 0xFFFFFF;
    if (g.options.protect) WriteProtect(*movie);
  }

  for (;;) {
    int b = ReadByte(in);
    if (in.atEnd) break;
    if (b == kExtensionIntroducer) {
      ReadExtension(g);
    } else if (b == kImageSeparator) {
      ImageResult r = ReadImage(g, movie);
      if (r == ImageResult::kEndOfFile) break;
      if (r == ImageResult::kAbandon) {
        // Frames so far stay; total frames stays unset, so none is the last.
        CloseInput(in);
        g.screen.reset();
        g.bitmap.ReleasePixels();
        return;
      }
    }
    // Anything else, the trailer included, is skipped.
  }

  CloseInput(in);
  if (g.countingPass) g.totalFrames = g.framesSeen;
  g.screen.reset();
  g.bitmap.ReleasePixels();
}
