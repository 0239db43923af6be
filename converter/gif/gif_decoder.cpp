#include "gif_decoder.h"

#include <cstdlib>
#include <cstring>

namespace {

constexpr int kExtensionIntroducer = 0x21;
constexpr int kImageSeparator = 0x2C;
constexpr int kLabelComment = 0xFE;
constexpr int kLabelGraphicControl = 0xF9;
constexpr int kLabelApplication = 0xFF;

// Bytes that bring a raster row to a multiple of 4, so that rows can be
// copied into padded movie bitmaps as they are.
size_t PaddedStride(int32_t width) { return static_cast<size_t>(width) + ((4 - (width & 3)) & 3); }

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

void AddTransparentIndex(GifFrame& f, uint8_t index) {
  // Each index is listed once, so the 256 slots hold every possible index.
  for (int i = 0; i < f.transparentCount; ++i)
    if (f.transparent[i] == index) return;
  if (f.transparentCount < 256) f.transparent[f.transparentCount++] = index;
}

void ReadGraphicControl(GifDecoder& d) {
  GifInput& in = d.input;
  ReadByte(in);  // block size, not checked
  int packed = ReadByte(in);
  if (packed < 0) return;
  d.pending.disposal = (packed >> 2) & 7;
  d.pending.delay = ReadWordLE(in);
  int index = ReadByte(in);
  if ((packed & 1) && index >= 0) AddTransparentIndex(d.pending, static_cast<uint8_t>(index));
  SkipSubBlocks(in);
}

void ReadApplication(GifDecoder& d) {
  GifInput& in = d.input;
  int size = ReadByte(in);
  if (size < 0) return;
  if (size == 11) {
    char id[11];
    for (char& c : id) c = static_cast<char>(ReadByte(in));
    if (std::memcmp(id, "NETSCAPE2.0", 11) == 0) {
      SkipBytes(in, 2);  // sub-block length and id
      d.loopCount = ReadWordLE(in);
    }
  } else {
    SkipBytes(in, static_cast<size_t>(size));
  }
  SkipSubBlocks(in);
}

void ReadExtension(GifDecoder& d) {
  GifInput& in = d.input;
  int label = ReadByte(in);
  if (label == kLabelComment) {
    // Up to and including the first zero byte.
    for (int b = ReadByte(in); b > 0; b = ReadByte(in)) {
    }
  } else if (label == kLabelGraphicControl) {
    ReadGraphicControl(d);
  } else if (label == kLabelApplication) {
    ReadApplication(d);
  } else if (label >= 0) {
    SkipSubBlocks(in);
  }
}

// The raster serves every image of the stream: it only ever holds the
// current one.
bool EnsureRaster(GifDecoder& d) {
  if (d.raster) return true;
  size_t stride = PaddedStride(d.screen.width);
  size_t bytes = stride * static_cast<size_t>(d.screen.height);
  if (bytes > kMaxScreenBytes) return false;
  // Counting decodes nothing, so it needs no raster, only the same limit.
  if (!d.decodePixels) return true;
  d.raster.reset(static_cast<uint8_t*>(std::calloc(bytes ? bytes : 1, 1)));
  d.stride = static_cast<int32_t>(stride);
  return d.raster != nullptr;
}

// Without any colour table a frame shows its indices as shades of grey.
void UseGreyRamp(GifDecoder& d, GifFrame& f) {
  for (int i = 0; i < 256; ++i) std::memset(d.currentColours + i * 3, i, 3);
  f.tableBits = 8;
  f.greyRamp = true;
}

GifStatus Stop(GifDecoder& d, GifStatus why) {
  CloseInput(d.input);
  d.raster.reset();
  return why;
}

GifStatus ReadImage(GifDecoder& d, GifFrame& f) {
  GifInput& in = d.input;
  int left = ReadWordLE(in);
  int top = ReadWordLE(in);
  int width = ReadWordLE(in);
  int height = ReadWordLE(in);
  int packed = ReadByte(in);
  if (in.atEnd) return Stop(d, GifStatus::kEnd);
  if (width > d.screen.width || height > d.screen.height) return Stop(d, GifStatus::kImageTooLarge);
  if (!EnsureRaster(d)) return Stop(d, GifStatus::kScreenTooLarge);

  // The control data read since the last image belongs to this one.
  f = d.pending;
  d.pending = GifFrame();
  f.left = left;
  f.top = top;
  f.width = width;
  f.height = height;
  f.interlaced = (packed & 0x40) != 0;
  f.screenWidth = d.screen.width;
  f.screenHeight = d.screen.height;

  std::memcpy(d.currentColours, d.screen.globalColours, sizeof d.currentColours);
  f.colours = d.currentColours;
  f.tableBits = d.screen.globalTableBits;
  f.greyRamp = false;
  if (packed & 0x80) {
    f.tableBits = (packed & 7) + 1;
    ReadColourTable(in, d.currentColours, f.tableBits);
  }
  if (f.tableBits == 0) UseGreyRamp(d, f);

  if (!d.decodePixels) {
    // Step over the data by its sub-blocks, which ends exactly where
    // decoding would.
    ReadByte(in);  // minimum code size
    SkipSubBlocks(in);
    return GifStatus::kFrame;
  }
  LzwRaster r;
  r.screen = d.raster.get();
  r.stride = d.stride;
  r.screenWidth = d.screen.width;
  r.screenHeight = d.screen.height;
  r.left = left;
  r.top = top;
  r.width = width;
  r.height = height;
  r.interlaced = f.interlaced;
  int fill = f.transparentCount > 0 ? f.transparent[0] : 0;
  f.pixels = DecodeLzw(d.lzw, in, r, fill, d.cancel);
  f.screen = d.raster.get();
  f.screenStride = d.stride;
  return GifStatus::kFrame;
}

GifStatus ReadScreen(GifDecoder& d) {
  GifInput& in = d.input;
  unsigned char signature[3];
  size_t got = 0;
  for (int c; got < sizeof signature && (c = ReadByte(in)) >= 0; ++got) signature[got] = static_cast<unsigned char>(c);
  if (!HasGifSignature(signature, got)) return Stop(d, GifStatus::kNotGif);
  SkipBytes(in, 3);  // version: 87a and 89a alike

  GifScreen& s = d.screen;
  s.width = ReadWordLE(in);
  s.height = ReadWordLE(in);
  int packed = ReadByte(in);
  s.backgroundIndex = ReadByte(in);
  ReadByte(in);  // pixel aspect
  if (packed < 0) packed = 0;
  if (s.backgroundIndex < 0) s.backgroundIndex = 0;
  s.globalTableBits = (packed & 0x80) ? (packed & 7) + 1 : 0;
  s.backgroundColour = 0;
  std::memset(s.globalColours, 0, sizeof s.globalColours);
  if (s.globalTableBits) {
    ReadColourTable(in, s.globalColours, s.globalTableBits);
    // An index past the table names no colour: black.
    if (s.backgroundIndex < (1 << s.globalTableBits)) {
      const uint8_t* e = s.globalColours + s.backgroundIndex * 3;
      s.backgroundColour = (uint32_t(e[0]) << 16) | (uint32_t(e[1]) << 8) | e[2];
    }
  }
  return GifStatus::kFrame;
}

void Reset(GifDecoder& d, bool decodePixels, const std::atomic<bool>* cancel) {
  CloseInput(d.input);
  d.screen = GifScreen();
  d.loopCount = -1;
  d.decodePixels = decodePixels;
  d.cancel = cancel;
  d.pending = GifFrame();
  d.raster.reset();
  d.stride = 0;
}

}  // namespace

bool HasGifSignature(const unsigned char* bytes, size_t size) {
  return bytes && size >= 3 && std::memcmp(bytes, "GIF", 3) == 0;
}

GifStatus OpenGif(GifDecoder& d, const char* path, bool decodePixels, const std::atomic<bool>* cancel) {
  Reset(d, decodePixels, cancel);
  if (!path || !path[0] || !OpenInput(d.input, path)) return GifStatus::kCannotOpen;
  return ReadScreen(d);
}

GifStatus OpenGifMemory(GifDecoder& d, const uint8_t* data, size_t size, bool decodePixels,
                        const std::atomic<bool>* cancel) {
  Reset(d, decodePixels, cancel);
  if (!OpenInputMemory(d.input, data, size)) return GifStatus::kCannotOpen;
  return ReadScreen(d);
}

GifStatus NextFrame(GifDecoder& d, GifFrame& frame) {
  GifInput& in = d.input;
  if (!in.file && !in.memory) return GifStatus::kEnd;
  for (;;) {
    int b = ReadByte(in);
    if (in.atEnd) return Stop(d, GifStatus::kEnd);
    if (b == kExtensionIntroducer) {
      ReadExtension(d);
    } else if (b == kImageSeparator) {
      return ReadImage(d, frame);
    }
    // Anything else, the trailer included, is skipped.
  }
}
