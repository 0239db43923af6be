#include "gif_converter.h"

#include <new>

GifConverter& TheGifConverter() {
  // Large (decoder tables, input buffer): made once, on the heap.
  static GifConverter* converter = [] {
    GifConverter* g = new GifConverter;
    g->optionBackGround = 1;
    g->compressionLevel = 9;
    ResetPassState(*g);
    return g;
  }();
  return *converter;
}

void ResetPassState(GifConverter& g) {
  g.cancel = 0;
  g.screen.reset();
  g.screenStride = 0;
  g.framesSeen = 0;
  g.transparentCount = 0;
  g.delay = 0;
  g.disposal = 0;
  g.nextCharacterId = 1;
  g.movieFrameCount = 0;
  g.canvasWidth = 18;
  g.canvasHeight = 18;
  g.displayListCount = 0;
  g.loopCount = -1;
  g.qualitySwitchPending = 1;
}
