#include "frame_pipeline.h"

#include "../gif/gif_decoder.h"
#include "../swf/bitmap_pool.h"
#include "../swf/control_tags.h"
#include "../swf/link_button.h"
#include "../swf/swf_writer.h"
#include "frame_bitmap.h"

namespace {

constexpr int kDisposeToBackground = 2;
constexpr int kDisposeToPrevious = 3;
constexpr int kDisplayListLimit = 11;
// The link button of the first frame.
constexpr int kLinkButtonId = 3;
constexpr int kLinkButtonDepth = 2;
constexpr int kLinkHitDepth = 1;

// Character ids and depths, all decided here. A frame whose first id is d
// has its bitmap d and its shape d + 1 at depth d; a disposal to background
// adds a rectangle d + 3 at depth d + 2; the first frame's link button takes
// id 3 at depth 2. The next frame starts after whatever this one used.
int32_t NextFrameId(int32_t d, int disposal, bool linkButton) {
  return d + 2 + (disposal == kDisposeToBackground || linkButton ? 2 : 0);
}

// Without a free colour index the border cannot be transparent, so border
// correction stops for the rest of the movie. A frame without any colour
// table of its own (the grey ramp) only goes without for itself.
int PrepareTransparency(FramePipeline& p, GifFrame& f) {
  int numColours = 1 << f.tableBits;
  if (f.transparentCount == 0 && p.borderCorrection) {
    if (numColours < 256) {
      f.transparent[0] = static_cast<uint8_t>(numColours);
      f.transparentCount = 1;
      numColours += 1;
    } else if (!f.greyRamp) {
      p.borderCorrection = false;
    }
  }
  return numColours;
}

int32_t LoopScriptMode(const MovieOptions& o, int32_t gifLoopCount) {
  if (!o.changeLoop) return gifLoopCount;  // -1 stop, 0 nothing, L limit
  if (o.loopForever) return 0;
  // A negative play count can only come from a hand-edited store: play once.
  if (o.playCount <= 1) return kScriptStop;
  return o.playCount - 1;
}

// Past a dozen objects on the display list the movie switches the player to
// low quality, once.
void NoteObjectPlaced(FramePipeline& p, SwfWriter& movie) {
  if (p.displayListCount < kDisplayListLimit) {
    ++p.displayListCount;
  } else if (p.qualitySwitchPending) {
    WriteFrameScript(movie, kScriptLowQuality);
    p.qualitySwitchPending = false;
  }
}

void NoteObjectRemoved(FramePipeline& p) {
  if (p.displayListCount > 0) --p.displayListCount;
}

}  // namespace

int MovieFramesForDelay(int delay) {
  if (delay <= 0) return 1;
  int n = delay / 10;
  return n < 1 ? 1 : n;
}

void StartPipeline(FramePipeline& p, const MovieOptions& options, FrameListener* progress,
                   uint32_t backgroundColour, int32_t backgroundIndex) {
  p.options = &options;
  p.progress = progress;
  p.backgroundColour = backgroundColour;
  p.referenceIndex = options.useGifBackground ? backgroundIndex : kNoReferenceIndex;
  p.borderCorrection = options.borderCorrection != 0;
}

void EmitFrame(FramePipeline& p, GifFrame& frame, bool lastFrame, int32_t gifLoopCount, SwfWriter& movie) {
  const MovieOptions& o = *p.options;
  const int32_t d = p.nextCharacterId;
  if (p.progress) p.progress->FrameDone();

  FrameSource src;
  src.screen = frame.screen;
  src.screenStride = frame.screenStride;
  src.screenWidth = frame.screenWidth;
  src.screenHeight = frame.screenHeight;
  src.colours = frame.colours;
  src.numColours = PrepareTransparency(p, frame);
  src.transparent = frame.transparent;
  src.transparentCount = frame.transparentCount;
  src.left = frame.left;
  src.top = frame.top;
  src.width = frame.width;
  src.height = frame.height;
  FrameBitmap& b = p.bitmap;
  if (!BuildFrameBitmap(src, p.referenceIndex, o.optimiseCanvas, p.borderCorrection ? 1 : 0, d, b)) {
    // Out of memory: the movie cannot be complete.
    MarkBodyFailed(movie);
    p.nextCharacterId = d + 2;
    return;
  }
  if (b.left + b.width > p.canvasWidth) p.canvasWidth = b.left + b.width;
  if (b.top + b.height > p.canvasHeight) p.canvasHeight = b.top + b.height;
  BuildFrameShape(b, p.shape);

  QueueBitmap(movie, b, o.compressionLevel);
  WriteShape(movie, kFillClippedBitmap, d + 1, p.shape);
  WritePlace(movie, d, d + 1);
  NoteObjectPlaced(p, movie);
  const bool linkButton = d == 1 && o.useLinkUrl != 0;
  if (linkButton) {
    WriteLinkButton(movie, kLinkHitDepth, kLinkButtonId, o.linkUrl.c_str());
    WritePlace(movie, kLinkButtonDepth, kLinkButtonId);
    NoteObjectPlaced(p, movie);
  }
  if (lastFrame) WriteFrameScript(movie, LoopScriptMode(o, gifLoopCount));

  int n = MovieFramesForDelay(frame.delay);
  for (int i = 0; i < n; ++i) WriteShowFrame(movie);
  p.movieFrameCount += n;

  if (frame.disposal == kDisposeToPrevious) {
    WriteRemove(movie, d, d + 1);
    NoteObjectRemoved(p);
  } else if (frame.disposal == kDisposeToBackground) {
    p.shape.solidColour[0] = (p.backgroundColour >> 16) & 0xFF;
    p.shape.solidColour[1] = (p.backgroundColour >> 8) & 0xFF;
    p.shape.solidColour[2] = p.backgroundColour & 0xFF;
    WriteShape(movie, kFillSolid, d + 3, p.shape);
    WritePlace(movie, d + 2, d + 3);
    NoteObjectRemoved(p);
  }
  p.nextCharacterId = NextFrameId(d, frame.disposal, linkButton);
  b.pixelBytes = 0;  // the buffer itself serves the next frame
}
