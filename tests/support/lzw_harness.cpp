#include "support/lzw_harness.h"

#include <atomic>
#include <cstring>
#include <memory>

#include "gif/gif_input.h"
#include "gif/lzw_decoder.h"

namespace {
constexpr size_t kGuard = 64;
constexpr uint8_t kGuardByte = 0xA5;
}  // namespace

DecodeRun RunDecodeImage(const std::vector<uint8_t>& gif, const gifbuild::ImageInfo& image,
                         const DecodeSetup& setup) {
  DecodeRun run;
  // Large (input buffer, code table): on the heap.
  auto in = std::make_unique<GifInput>();
  auto decoder = std::make_unique<LzwDecoder>();
  if (!OpenInputMemory(*in, gif.data(), gif.size())) return run;
  run.opened = true;
  SkipBytes(*in, image.dataOffset);

  // Rows padded to a multiple of 4, as the GIF decoder lays out its raster.
  const int32_t stride = setup.screenWidth + ((4 - (setup.screenWidth & 3)) & 3);
  const size_t size = static_cast<size_t>(stride) * static_cast<size_t>(setup.screenHeight);
  std::unique_ptr<uint8_t[]> block(new uint8_t[size + 2 * kGuard]);
  std::memset(block.get(), kGuardByte, kGuard);
  std::memset(block.get() + kGuard, setup.initial, size);
  std::memset(block.get() + kGuard + size, kGuardByte, kGuard);

  LzwRaster raster;
  raster.screen = block.get() + kGuard;
  raster.stride = stride;
  raster.screenWidth = setup.screenWidth;
  raster.screenHeight = setup.screenHeight;
  raster.left = image.left;
  raster.top = image.top;
  raster.width = image.width;
  raster.height = image.height;
  raster.interlaced = image.interlaced;
  std::atomic<bool> cancel{setup.cancel};
  const LzwResult result = DecodeLzw(*decoder, *in, raster, setup.fillIndex, &cancel);

  // Bytes handed out of the source, less those still unread in the buffer.
  run.endOffset = in->memoryPos - (in->len - in->pos);
  CloseInput(*in);

  run.stride = stride;
  run.screen.assign(block.get() + kGuard, block.get() + kGuard + size);
  for (size_t i = 0; i < kGuard; ++i)
    if (block[i] != kGuardByte || block[kGuard + size + i] != kGuardByte) run.guardsIntact = false;
  run.pixelsStored = result.pixelsStored;
  run.pixelsFilled = result.pixelsFilled;
  run.terminatorSeen = result.terminatorSeen;
  run.dataEnded = result.end == LzwEnd::kDataEnded;
  run.endCodeSeen = result.end == LzwEnd::kEndCode;
  run.codeWidth = result.codeWidth;
  run.nextFreeCode = result.nextFreeCode;
  run.tableFull = result.tableFull ? 1 : 0;
  return run;
}

std::vector<uint8_t> CutRectangle(const DecodeRun& run, const gifbuild::ImageInfo& image) {
  std::vector<uint8_t> out;
  out.reserve(static_cast<size_t>(image.width) * static_cast<size_t>(image.height));
  for (int y = 0; y < image.height; ++y)
    for (int x = 0; x < image.width; ++x)
      out.push_back(run.screen[static_cast<size_t>(image.top + y) * static_cast<size_t>(run.stride) +
                               static_cast<size_t>(image.left + x)]);
  return out;
}
