// The uncompressed SWF file header.
#pragma once
#include <cstdint>

struct MovieHeader {
  int32_t xmin = 0, ymin = 0, xmax = 0, ymax = 0;  // twips
  double frameRate = 10.0;
  int32_t frameCount = 0;
  int32_t fileLength = 0;
};

constexpr int kMinCanvasPixels = 18;
constexpr int kHeaderBufferSize = 30;

void MakeHeader(MovieHeader& header, int32_t canvasWidth, int32_t canvasHeight, int32_t frameCount);
// Encodes into buffer (at least kHeaderBufferSize bytes); file length is
// header length + bodyLength. False (nothing
// written) if the header would not fit.
[[nodiscard]] bool ComposeHeader(MovieHeader& header, int32_t bodyLength, uint8_t* buffer, int& outLength);
