#include "gif_converter.h"

#include <cstring>

GifConverter::GifConverter(const char* path, const ConversionOptions& jobOptions, ProgressSink* sink,
                           std::atomic<bool>& cancelFlag)
    : options(jobOptions), progress(sink), cancel(cancelFlag) {
  size_t n = path ? std::strlen(path) : 0;
  if (n >= sizeof sourcePath) n = 0;  // over-long: nothing is opened
  if (n) std::memcpy(sourcePath, path, n);
  sourcePath[n] = '\0';
}

GifConverter::GifConverter(const uint8_t* data, size_t size, const ConversionOptions& jobOptions,
                           ProgressSink* sink, std::atomic<bool>& cancelFlag)
    : sourceData(data), sourceSize(size), options(jobOptions), progress(sink), cancel(cancelFlag) {}

void ResetPassState(GifConverter& g) {
  g.cancel.store(false);
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
