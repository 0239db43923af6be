#include "movie_header.h"

#include <cstring>

#include "geometry.h"
#include "tag_buffer.h"

void MakeHeader(MovieHeader& header, int32_t canvasWidth, int32_t canvasHeight, int32_t frameCount) {
  header.xmin = 0;
  header.ymin = 0;
  header.xmax = (canvasWidth > kMinCanvasPixels ? canvasWidth : kMinCanvasPixels) * 20;
  header.ymax = (canvasHeight > kMinCanvasPixels ? canvasHeight : kMinCanvasPixels) * 20;
  header.frameRate = 10.0;
  header.frameCount = frameCount;
}

int ComposeHeader(MovieHeader& header, int32_t bodyLength, uint8_t* buffer, int& outLength) {
  TagBuffer out(kHeaderBufferSize);
  out.position = 8;
  WriteRect(header.xmin, header.ymin, header.xmax, header.ymax, out);
  double whole = static_cast<double>(static_cast<int>(header.frameRate));
  PutU8(static_cast<uint32_t>((header.frameRate - whole) * 256.0), out);
  PutU8(static_cast<uint32_t>(whole), out);
  PutU16(static_cast<uint32_t>(header.frameCount), out);
  if (!out.ok()) return 0;
  int headerLength = static_cast<int>(out.position);
  header.fileLength = headerLength + bodyLength;
  out.position = 0;
  PutU8('F', out);
  PutU8('W', out);
  PutU8('S', out);
  PutU8(2, out);
  PutU32(static_cast<uint32_t>(header.fileLength), out);
  std::memcpy(buffer, out.data, static_cast<size_t>(headerLength));
  outLength = headerLength;
  return 1;
}
