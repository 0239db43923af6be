// A small GIF writer for tests: every block of the format, image data from a
// real LZW encoder with knobs for unusual streams, or from hand-made codes.
//
//   GifBuilder gif(16, 16, {{0, 0, 0}, {255, 0, 0}});
//   gif.NetscapeLoop(0).GraphicControl(10, 2, 0);
//   gif.Image(ImageDescriptor{0, 0, 16, 16}, pixels);  // indices, top row first
//   gif.Trailer();
//   gif.Save("a.gif");
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace gifbuild {

struct Rgb {
  uint8_t r = 0, g = 0, b = 0;
};

// One LZW code and the number of bits it is written with.
struct LzwCode {
  uint16_t code = 0;
  uint8_t width = 0;
};

struct LzwOptions {
  // 2..8 for the encoder (0: the smallest size, at least 2, that holds every
  // index of the image).
  int minCodeSize = 0;
  // Data sub-block length, 1..255; short blocks make codes straddle them.
  int maxSubBlock = 255;
  // When the table reaches 4096 entries: true emits a clear code; false keeps
  // the full table and goes on with 12-bit codes (deferred clear).
  bool clearWhenFull = true;
  // Extra clear codes, emitted just before the pixel with each of these
  // indices (in stream order, so interlaced images count in pass order).
  std::vector<size_t> clearBefore;
  bool emitInitialClear = true;
  bool omitEndCode = false;
  // Keep only this many bytes of packed code data (-1: all of them).
  long truncateDataBytes = -1;
  // Leave out the zero-length block terminator after the data sub-blocks.
  bool omitTerminator = false;
};

// LZW codes of `indices` (each below 2^minCodeSize) as a GIF encoder writes
// them: clear, codes, end. Code widths follow the decoder's table growth.
std::vector<LzwCode> LzwEncode(const std::vector<uint8_t>& indices, const LzwOptions& options);

// Widths for a hand-made code list, as a decoder would expect them: entries
// are added for every code after the first one following a clear, the width
// grows when the next free code reaches 2^width, and stops at 12 bits.
std::vector<LzwCode> WithDecoderWidths(int minCodeSize, const std::vector<int>& codes);

// Packs codes least significant bit first; the last byte is zero-padded.
std::vector<uint8_t> PackCodes(const std::vector<LzwCode>& codes);

// Splits data into sub-blocks of at most maxSubBlock bytes, each preceded by
// its length; appends the zero terminator when `terminator` is set.
std::vector<uint8_t> SubBlocks(const std::vector<uint8_t>& data, int maxSubBlock, bool terminator);

// Rows of a picture reordered into interlaced stream order.
std::vector<uint8_t> InterlaceRows(const std::vector<uint8_t>& indices, int width, int height);

struct ImageDescriptor {
  ImageDescriptor() = default;
  ImageDescriptor(int left_, int top_, int width_, int height_, bool interlaced_ = false,
            std::vector<Rgb> localColours_ = {})
      : left(left_), top(top_), width(width_), height(height_), interlaced(interlaced_),
        localColours(std::move(localColours_)) {}

  int left = 0, top = 0, width = 0, height = 0;
  bool interlaced = false;
  std::vector<Rgb> localColours;  // empty: no local colour table
};

// Where an image's parts lie in the file.
struct ImageInfo {
  int left = 0, top = 0, width = 0, height = 0;
  bool interlaced = false;
  size_t descriptorOffset = 0;  // the 0x2C byte
  size_t dataOffset = 0;        // the minimum code size byte
  size_t dataEnd = 0;           // just after the block terminator
};

class GifBuilder {
 public:
  // Signature ("GIF" + version) and logical screen descriptor. A colour
  // table is padded with black up to a power of two of at least 2 entries;
  // an empty one means no global colour table.
  GifBuilder(int screenWidth, int screenHeight, const std::vector<Rgb>& globalColours = {},
             int backgroundIndex = 0, const char* version = "89a");

  GifBuilder& GraphicControl(int delay, int disposal, int transparentIndex = -1);
  GifBuilder& NetscapeLoop(int loopCount);
  GifBuilder& Comment(const std::string& text);
  // Application extension with an 11-byte identifier (shorter ones are
  // padded with spaces) and data sub-blocks.
  GifBuilder& Application(const std::string& identifier, const std::vector<uint8_t>& data);
  GifBuilder& PlainText(int left, int top, int width, int height, const std::string& text);
  // Anything else: stray bytes, broken blocks, an unknown extension.
  GifBuilder& Raw(const std::vector<uint8_t>& bytes);

  // Descriptor, local table and LZW data of `indices` (width * height values,
  // top row first; interlaced images are reordered here).
  GifBuilder& Image(const ImageDescriptor& image, const std::vector<uint8_t>& indices,
                    const LzwOptions& options = {});
  // Descriptor, local table and the given codes as image data.
  GifBuilder& ImageFromCodes(const ImageDescriptor& image, int minCodeSize, const std::vector<LzwCode>& codes,
                             int maxSubBlock = 255);
  // Descriptor, local table, then exactly these bytes (minimum code size
  // byte, sub-blocks and terminator are up to the caller).
  GifBuilder& ImageFromRawData(const ImageDescriptor& image, const std::vector<uint8_t>& data);

  GifBuilder& Trailer();

  const std::vector<uint8_t>& Bytes() const { return bytes_; }
  const std::vector<ImageInfo>& Images() const { return images_; }
  bool Save(const std::string& path) const;

 private:
  void Word(int v);
  void ColourTable(const std::vector<Rgb>& colours);
  void Descriptor(const ImageDescriptor& image);

  std::vector<uint8_t> bytes_;
  std::vector<ImageInfo> images_;
};

// Size exponent (1..8) of the smallest table with room for n colours.
int TableBits(size_t n);

// Walks the blocks of a GIF file and lists its images; stops at the trailer,
// the end of the data or a block it cannot follow.
std::vector<ImageInfo> ListImages(const std::vector<uint8_t>& gif);

bool WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes);
bool ReadFileBytes(const std::string& path, std::vector<uint8_t>& bytes);

}  // namespace gifbuild
