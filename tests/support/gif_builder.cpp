#include "support/gif_builder.h"

#include <algorithm>
#include <cstdio>
#include <unordered_map>

namespace gifbuild {

namespace {

constexpr int kMaxCodes = 4096;
constexpr int kMaxWidth = 12;

int BitsFor(int maxIndex) {
  int bits = 2;
  while (bits < 8 && (1 << bits) <= maxIndex) ++bits;
  return bits;
}

}  // namespace

std::vector<LzwCode> LzwEncode(const std::vector<uint8_t>& indices, const LzwOptions& options) {
  int minCodeSize = options.minCodeSize;
  if (minCodeSize == 0) {
    int maxIndex = 0;
    for (uint8_t v : indices) maxIndex = std::max<int>(maxIndex, v);
    minCodeSize = BitsFor(maxIndex);
  }
  const int clear = 1 << minCodeSize;
  const int end = clear + 1;
  int width = minCodeSize + 1;
  int next = clear + 2;
  std::unordered_map<uint32_t, int> dict;
  std::vector<LzwCode> out;

  auto emit = [&](int code) { out.push_back({static_cast<uint16_t>(code), static_cast<uint8_t>(width)}); };
  auto reset = [&] {
    emit(clear);
    dict.clear();
    next = clear + 2;
    width = minCodeSize + 1;
  };
  // The decoder adds an entry one code later than the encoder, so the width
  // must grow only once next exceeds 2^width.
  auto grow = [&] {
    if (next >= kMaxCodes) return;
    ++next;
    if (next > (1 << width) && width < kMaxWidth) ++width;
  };

  std::vector<size_t> clears = options.clearBefore;
  std::sort(clears.begin(), clears.end());
  size_t nextClear = 0;

  if (options.emitInitialClear) emit(clear);
  if (indices.empty()) {
    if (!options.omitEndCode) emit(end);
    return out;
  }
  while (nextClear < clears.size() && clears[nextClear] == 0) {
    reset();
    ++nextClear;
  }

  int prefix = indices[0];
  for (size_t i = 1; i < indices.size(); ++i) {
    const int c = indices[i];
    bool forced = false;
    while (nextClear < clears.size() && clears[nextClear] <= i) {
      if (clears[nextClear] == i) forced = true;
      ++nextClear;
    }
    const uint32_t key = (static_cast<uint32_t>(prefix) << 8) | static_cast<uint32_t>(c);
    if (!forced) {
      auto it = dict.find(key);
      if (it != dict.end()) {
        prefix = it->second;
        continue;
      }
    }
    emit(prefix);
    bool cleared = false;
    if (next < kMaxCodes) {
      dict[key] = next;
      grow();
      if (next == kMaxCodes && options.clearWhenFull) {
        reset();
        cleared = true;
      }
    }
    if (forced && !cleared) reset();
    prefix = c;
  }
  emit(prefix);
  if (!options.omitEndCode) {
    grow();  // the decoder adds an entry for the last code before the end code
    emit(end);
  }
  return out;
}

std::vector<LzwCode> WithDecoderWidths(int minCodeSize, const std::vector<int>& codes) {
  const int clear = 1 << minCodeSize;
  const int end = clear + 1;
  int width = minCodeSize + 1;
  int next = clear + 2;
  bool first = true;
  std::vector<LzwCode> out;
  for (int code : codes) {
    out.push_back({static_cast<uint16_t>(code), static_cast<uint8_t>(width)});
    if (code == clear) {
      width = minCodeSize + 1;
      next = clear + 2;
      first = true;
    } else if (code == end) {
      continue;
    } else if (first) {
      first = false;
    } else if (next < kMaxCodes) {
      ++next;
      if (next >= kMaxCodes)
        width = kMaxWidth;
      else if (next >= (1 << width) && width < kMaxWidth)
        ++width;
    }
  }
  return out;
}

std::vector<uint8_t> PackCodes(const std::vector<LzwCode>& codes) {
  std::vector<uint8_t> out;
  uint32_t acc = 0;
  int bits = 0;
  for (const LzwCode& c : codes) {
    acc |= static_cast<uint32_t>(c.code & ((1u << c.width) - 1)) << bits;
    bits += c.width;
    while (bits >= 8) {
      out.push_back(static_cast<uint8_t>(acc & 0xFF));
      acc >>= 8;
      bits -= 8;
    }
  }
  if (bits > 0) out.push_back(static_cast<uint8_t>(acc & 0xFF));
  return out;
}

std::vector<uint8_t> SubBlocks(const std::vector<uint8_t>& data, int maxSubBlock, bool terminator) {
  maxSubBlock = std::max(1, std::min(255, maxSubBlock));
  std::vector<uint8_t> out;
  for (size_t at = 0; at < data.size(); at += static_cast<size_t>(maxSubBlock)) {
    size_t n = std::min(data.size() - at, static_cast<size_t>(maxSubBlock));
    out.push_back(static_cast<uint8_t>(n));
    out.insert(out.end(), data.begin() + static_cast<long>(at), data.begin() + static_cast<long>(at + n));
  }
  if (terminator) out.push_back(0);
  return out;
}

std::vector<uint8_t> InterlaceRows(const std::vector<uint8_t>& indices, int width, int height) {
  static const int kFirst[4] = {0, 4, 2, 1};
  static const int kStep[4] = {8, 8, 4, 2};
  std::vector<uint8_t> out;
  out.reserve(indices.size());
  for (int pass = 0; pass < 4; ++pass)
    for (int y = kFirst[pass]; y < height; y += kStep[pass])
      out.insert(out.end(), indices.begin() + static_cast<long>(y) * width,
                 indices.begin() + static_cast<long>(y + 1) * width);
  return out;
}

int TableBits(size_t n) {
  int bits = 1;
  while (bits < 8 && (static_cast<size_t>(1) << bits) < n) ++bits;
  return bits;
}

GifBuilder::GifBuilder(int screenWidth, int screenHeight, const std::vector<Rgb>& globalColours,
                       int backgroundIndex, const char* version) {
  const char sig[] = "GIF";
  bytes_.insert(bytes_.end(), sig, sig + 3);
  for (int i = 0; i < 3; ++i) bytes_.push_back(static_cast<uint8_t>(version[i]));
  Word(screenWidth);
  Word(screenHeight);
  uint8_t packed = 0x70;  // 8 bits of colour resolution
  if (!globalColours.empty()) packed |= 0x80 | static_cast<uint8_t>(TableBits(globalColours.size()) - 1);
  bytes_.push_back(packed);
  bytes_.push_back(static_cast<uint8_t>(backgroundIndex));
  bytes_.push_back(0);  // pixel aspect
  if (!globalColours.empty()) ColourTable(globalColours);
}

void GifBuilder::Word(int v) {
  bytes_.push_back(static_cast<uint8_t>(v & 0xFF));
  bytes_.push_back(static_cast<uint8_t>((v >> 8) & 0xFF));
}

void GifBuilder::ColourTable(const std::vector<Rgb>& colours) {
  const size_t n = static_cast<size_t>(1) << TableBits(colours.size());
  for (size_t i = 0; i < n; ++i) {
    Rgb c = i < colours.size() ? colours[i] : Rgb{};
    bytes_.push_back(c.r);
    bytes_.push_back(c.g);
    bytes_.push_back(c.b);
  }
}

GifBuilder& GifBuilder::GraphicControl(int delay, int disposal, int transparentIndex) {
  bytes_.insert(bytes_.end(), {0x21, 0xF9, 4});
  uint8_t packed = static_cast<uint8_t>((disposal & 7) << 2);
  if (transparentIndex >= 0) packed |= 1;
  bytes_.push_back(packed);
  Word(delay);
  bytes_.push_back(static_cast<uint8_t>(transparentIndex >= 0 ? transparentIndex : 0));
  bytes_.push_back(0);
  return *this;
}

GifBuilder& GifBuilder::NetscapeLoop(int loopCount) {
  const char id[] = "NETSCAPE2.0";
  bytes_.insert(bytes_.end(), {0x21, 0xFF, 11});
  bytes_.insert(bytes_.end(), id, id + 11);
  bytes_.insert(bytes_.end(), {3, 1});
  Word(loopCount);
  bytes_.push_back(0);
  return *this;
}

GifBuilder& GifBuilder::Comment(const std::string& text) {
  bytes_.insert(bytes_.end(), {0x21, 0xFE});
  std::vector<uint8_t> data(text.begin(), text.end());
  std::vector<uint8_t> blocks = SubBlocks(data, 255, true);
  bytes_.insert(bytes_.end(), blocks.begin(), blocks.end());
  return *this;
}

GifBuilder& GifBuilder::Application(const std::string& identifier, const std::vector<uint8_t>& data) {
  bytes_.insert(bytes_.end(), {0x21, 0xFF, 11});
  for (size_t i = 0; i < 11; ++i)
    bytes_.push_back(static_cast<uint8_t>(i < identifier.size() ? identifier[i] : ' '));
  std::vector<uint8_t> blocks = SubBlocks(data, 255, true);
  bytes_.insert(bytes_.end(), blocks.begin(), blocks.end());
  return *this;
}

GifBuilder& GifBuilder::PlainText(int left, int top, int width, int height, const std::string& text) {
  bytes_.insert(bytes_.end(), {0x21, 0x01, 12});
  Word(left);
  Word(top);
  Word(width);
  Word(height);
  bytes_.insert(bytes_.end(), {8, 16, 1, 0});  // cell size, foreground, background
  std::vector<uint8_t> data(text.begin(), text.end());
  std::vector<uint8_t> blocks = SubBlocks(data, 255, true);
  bytes_.insert(bytes_.end(), blocks.begin(), blocks.end());
  return *this;
}

GifBuilder& GifBuilder::Raw(const std::vector<uint8_t>& bytes) {
  bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
  return *this;
}

void GifBuilder::Descriptor(const ImageDescriptor& image) {
  ImageInfo info;
  info.left = image.left;
  info.top = image.top;
  info.width = image.width;
  info.height = image.height;
  info.interlaced = image.interlaced;
  info.descriptorOffset = bytes_.size();
  bytes_.push_back(0x2C);
  Word(image.left);
  Word(image.top);
  Word(image.width);
  Word(image.height);
  uint8_t packed = image.interlaced ? 0x40 : 0;
  if (!image.localColours.empty()) packed |= 0x80 | static_cast<uint8_t>(TableBits(image.localColours.size()) - 1);
  bytes_.push_back(packed);
  if (!image.localColours.empty()) ColourTable(image.localColours);
  info.dataOffset = bytes_.size();
  images_.push_back(info);
}

GifBuilder& GifBuilder::Image(const ImageDescriptor& image, const std::vector<uint8_t>& indices,
                              const LzwOptions& options) {
  std::vector<uint8_t> order =
      image.interlaced ? InterlaceRows(indices, image.width, image.height) : indices;
  LzwOptions opt = options;
  if (opt.minCodeSize == 0) {
    int maxIndex = 0;
    for (uint8_t v : indices) maxIndex = std::max<int>(maxIndex, v);
    opt.minCodeSize = BitsFor(maxIndex);
  }
  std::vector<uint8_t> data = PackCodes(LzwEncode(order, opt));
  if (opt.truncateDataBytes >= 0 && static_cast<size_t>(opt.truncateDataBytes) < data.size())
    data.resize(static_cast<size_t>(opt.truncateDataBytes));
  Descriptor(image);
  bytes_.push_back(static_cast<uint8_t>(opt.minCodeSize));
  std::vector<uint8_t> blocks = SubBlocks(data, opt.maxSubBlock, !opt.omitTerminator);
  bytes_.insert(bytes_.end(), blocks.begin(), blocks.end());
  images_.back().dataEnd = bytes_.size();
  return *this;
}

GifBuilder& GifBuilder::ImageFromCodes(const ImageDescriptor& image, int minCodeSize, const std::vector<LzwCode>& codes,
                                       int maxSubBlock) {
  Descriptor(image);
  bytes_.push_back(static_cast<uint8_t>(minCodeSize));
  std::vector<uint8_t> blocks = SubBlocks(PackCodes(codes), maxSubBlock, true);
  bytes_.insert(bytes_.end(), blocks.begin(), blocks.end());
  images_.back().dataEnd = bytes_.size();
  return *this;
}

GifBuilder& GifBuilder::ImageFromRawData(const ImageDescriptor& image, const std::vector<uint8_t>& data) {
  Descriptor(image);
  bytes_.insert(bytes_.end(), data.begin(), data.end());
  images_.back().dataEnd = bytes_.size();
  return *this;
}

GifBuilder& GifBuilder::Trailer() {
  bytes_.push_back(0x3B);
  return *this;
}

bool GifBuilder::Save(const std::string& path) const { return WriteFileBytes(path, bytes_); }

std::vector<ImageInfo> ListImages(const std::vector<uint8_t>& gif) {
  std::vector<ImageInfo> images;
  const size_t n = gif.size();
  if (n < 13 || gif[0] != 'G' || gif[1] != 'I' || gif[2] != 'F') return images;
  size_t at = 13;
  if (gif[10] & 0x80) at += 3u * (1u << ((gif[10] & 7) + 1));
  auto skipSubBlocks = [&] {
    while (at < n) {
      size_t len = gif[at++];
      if (len == 0) return true;
      at += len;
    }
    return false;
  };
  while (at < n) {
    uint8_t b = gif[at++];
    if (b == 0x3B) break;
    if (b == 0x21) {
      if (at >= n) break;
      ++at;  // label
      if (!skipSubBlocks()) break;
    } else if (b == 0x2C) {
      if (at + 9 > n) break;
      ImageInfo info;
      info.descriptorOffset = at - 1;
      info.left = gif[at] | (gif[at + 1] << 8);
      info.top = gif[at + 2] | (gif[at + 3] << 8);
      info.width = gif[at + 4] | (gif[at + 5] << 8);
      info.height = gif[at + 6] | (gif[at + 7] << 8);
      uint8_t packed = gif[at + 8];
      info.interlaced = (packed & 0x40) != 0;
      at += 9;
      if (packed & 0x80) at += 3u * (1u << ((packed & 7) + 1));
      if (at >= n) break;
      info.dataOffset = at;
      ++at;  // minimum code size
      bool complete = skipSubBlocks();
      info.dataEnd = std::min(at, n);
      images.push_back(info);
      if (!complete) break;
    }
    // Anything else is a stray byte.
  }
  return images;
}

bool WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

bool ReadFileBytes(const std::string& path, std::vector<uint8_t>& bytes) {
  bytes.clear();
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  uint8_t buf[65536];
  size_t got;
  while ((got = std::fread(buf, 1, sizeof buf, f)) > 0) bytes.insert(bytes.end(), buf, buf + got);
  std::fclose(f);
  return true;
}

}  // namespace gifbuild
