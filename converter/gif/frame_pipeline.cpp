#include "frame_pipeline.h"

#include "../swf/bitmap_pool.h"
#include "../swf/swf_writer.h"
#include "../swf/control_tags.h"
#include "../swf/link_button.h"
#include "frame_bitmap.h"
#include "gif_converter.h"

namespace {

constexpr int kDisposeToBackground = 2;
constexpr int kDisposeToPrevious = 3;
constexpr int kDisplayListLimit = 11;

// Without a free colour index the border cannot be transparent, so border
// correction stops for the rest of the conversion. A frame without any
// colour table of its own (the grey ramp) only goes without for itself.
int PrepareTransparency(GifConverter& g) {
  int numColours = 1 << g.currentTableBits;
  if (g.transparentCount == 0 && g.options.borderCorrection) {
    if (numColours < 256) {
      g.transparentIndices[0] = static_cast<uint8_t>(numColours);
      g.transparentCount = 1;
      numColours += 1;
    } else if (!g.greyRamp) {
      g.options.borderCorrection = 0;
    }
  }
  return numColours;
}

int32_t LoopScriptMode(const GifConverter& g) {
  const ConversionOptions& o = g.options;
  if (!o.changeLoop) return g.loopCount;  // -1 stop, 0 nothing, L limit
  if (o.loopForever) return 0;
  // A negative play count can only come from a hand-edited store: play once.
  if (o.playCount <= 1) return kScriptStop;
  return o.playCount - 1;
}

}  // namespace

int MovieFramesForDelay(int delay) {
  if (delay <= 0) return 1;
  int n = delay / 10;
  return n < 1 ? 1 : n;
}

void NoteObjectPlaced(GifConverter& g, SwfWriter& movie) {
  if (g.displayListCount < kDisplayListLimit) {
    ++g.displayListCount;
  } else if (g.qualitySwitchPending) {
    WriteFrameScript(movie, kScriptLowQuality);
    g.qualitySwitchPending = 0;
  }
}

void NoteObjectRemoved(GifConverter& g) {
  if (g.displayListCount > 0) --g.displayListCount;
}

void EmitFrame(GifConverter& g, SwfWriter& movie) {
  const int d = g.nextCharacterId;
  if (g.progress) g.progress->FrameDone();

  FrameSource src;
  src.screen = g.screen.get();
  src.screenStride = g.screenStride;
  src.screenWidth = g.screenWidth;
  src.screenHeight = g.screenHeight;
  src.colours = g.currentColours;
  src.numColours = PrepareTransparency(g);
  src.transparent = g.transparentIndices;
  src.transparentCount = g.transparentCount;
  src.left = g.lzw.imageLeft;
  src.top = g.lzw.imageTop;
  src.width = g.lzw.imageWidth;
  src.height = g.lzw.imageHeight;
  int reference = g.options.useGifBackground ? g.backgroundIndex : kNoReferenceIndex;
  if (!BuildFrameBitmap(src, reference, g.options.optimiseCanvas, g.options.borderCorrection, d, g.bitmap)) {
    // Out of memory: the movie cannot be complete.
    MarkBodyFailed(movie);
    return;
  }
  FrameBitmap& b = g.bitmap;
  if (b.left + b.width > g.canvasWidth) g.canvasWidth = b.left + b.width;
  if (b.top + b.height > g.canvasHeight) g.canvasHeight = b.top + b.height;
  BuildFrameShape(b, g.shape);

  QueueBitmap(movie, b, g.compressionLevel);
  WriteShape(movie, kFillClippedBitmap, d + 1, g.shape);
  WritePlace(movie, d, d + 1);
  NoteObjectPlaced(g, movie);
  const bool link = g.options.useLinkUrl != 0;
  if (d == 1 && link) {
    WriteLinkButton(movie, 1, 3, g.options.linkUrl.c_str());
    WritePlace(movie, 2, 3);
    NoteObjectPlaced(g, movie);
  }
  if (g.framesSeen == g.totalFrames) WriteFrameScript(movie, LoopScriptMode(g));

  int n = MovieFramesForDelay(g.delay);
  for (int i = 0; i < n; ++i) WriteShowFrame(movie);
  g.movieFrameCount += n;

  if (g.disposal == kDisposeToPrevious) {
    WriteRemove(movie, d + 1, d);
    NoteObjectRemoved(g);
  } else if (g.disposal == kDisposeToBackground) {
    g.nextCharacterId = d + 2;
    b.characterId = d + 2;
    g.shape.solidColour[0] = (g.backgroundColour >> 16) & 0xFF;
    g.shape.solidColour[1] = (g.backgroundColour >> 8) & 0xFF;
    g.shape.solidColour[2] = g.backgroundColour & 0xFF;
    WriteShape(movie, kFillSolid, d + 3, g.shape);
    WritePlace(movie, d + 2, d + 3);
    NoteObjectRemoved(g);
  }
  if (g.nextCharacterId == 1 && link) g.nextCharacterId = 3;
  b.pixelBytes = 0;  // the buffer itself serves the next frame
}
