#include "support/lzw_harness.h"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <memory>

#include "gif/gif_converter.h"
#include "swf/geometry.h"

namespace {
constexpr size_t kGuard = 64;
constexpr uint8_t kGuardByte = 0xA5;
}  // namespace

DecodeRun RunDecodeImage(const std::vector<uint8_t>& gif, const gifbuild::ImageInfo& image,
                         const DecodeSetup& setup, const std::string& file) {
  DecodeRun run;
  if (!gifbuild::WriteFileBytes(file, gif)) return run;

  std::atomic<bool> cancel{setup.cancel};
  auto g = std::make_unique<GifConverter>("", ConversionOptions(), nullptr, cancel);
  if (!OpenInput(g->input, file.c_str())) {
    std::remove(file.c_str());
    return run;
  }
  run.opened = true;
  SkipBytes(g->input, image.dataOffset);

  const int32_t stride = setup.screenWidth + RowPadding(setup.screenWidth);
  const size_t size = static_cast<size_t>(stride) * static_cast<size_t>(setup.screenHeight);
  std::unique_ptr<uint8_t[]> block(new uint8_t[size + 2 * kGuard]);
  std::memset(block.get(), kGuardByte, kGuard);
  std::memset(block.get() + kGuard, setup.initial, size);
  std::memset(block.get() + kGuard + size, kGuardByte, kGuard);

  // The converter borrows the middle of the block; it is taken back below.
  g->screen.reset(block.get() + kGuard);
  g->screenStride = stride;
  g->screenWidth = setup.screenWidth;
  g->screenHeight = setup.screenHeight;
  g->lzw.imageLeft = image.left;
  g->lzw.imageTop = image.top;
  g->lzw.imageWidth = image.width;
  g->lzw.imageHeight = image.height;
  g->lzw.rowStep = image.interlaced ? 8 : 1;

  DecodeImage(*g, setup.fillIndex);
  g->screen.release();

  const GifInput& in = g->input;
  long filePos = std::ftell(in.file);
  run.endOffset = static_cast<size_t>(filePos) - (in.len - in.pos);
  CloseInput(g->input);
  std::remove(file.c_str());

  run.stride = stride;
  run.screen.assign(block.get() + kGuard, block.get() + kGuard + size);
  for (size_t i = 0; i < kGuard; ++i)
    if (block[i] != kGuardByte || block[kGuard + size + i] != kGuardByte) run.guardsIntact = false;
  run.pixelsStored = g->lzw.pixelsStored;
  run.pixelsFilled = g->lzw.pixelsFilled;
  run.terminatorSeen = g->lzw.terminatorSeen;
  run.dataEnded = g->lzw.dataEnded;
  run.endCodeSeen = g->lzw.endCodeSeen;
  run.codeWidth = g->lzw.codeWidth;
  run.nextFreeCode = g->lzw.nextFreeCode;
  run.tableFull = g->lzw.tableFull;
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
