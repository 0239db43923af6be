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

bool ComposeHeader(MovieHeader& header, int32_t bodyLength, uint8_t* buffer, int& outLength) {
  TagBuffer out;
  PutBytes("FWS", 3, out);
  PutU8(2, out);  // version
  const size_t fileLengthAt = out.position;
  PutU32(0, out);  // file length, known once the rest is composed
  WriteRect(header.xmin, header.ymin, header.xmax, header.ymax, out);
  double whole = static_cast<double>(static_cast<int>(header.frameRate));
  PutU8(static_cast<uint32_t>((header.frameRate - whole) * 256.0), out);
  PutU8(static_cast<uint32_t>(whole), out);
  PutU16(static_cast<uint32_t>(header.frameCount), out);
  if (!out.ok() || out.position > static_cast<size_t>(kHeaderBufferSize)) return false;
  const size_t headerLength = out.position;
  header.fileLength = static_cast<int32_t>(headerLength) + bodyLength;
  out.position = fileLengthAt;
  PutU32(static_cast<uint32_t>(header.fileLength), out);
  std::memcpy(buffer, out.data, headerLength);
  outLength = static_cast<int>(headerLength);
  return true;
}
