// Splits a movie into its header fields and tags (test-side reader).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct SwfTag {
  int code = 0;
  std::vector<uint8_t> body;
  uint16_t U16(size_t at) const { return at + 1 < body.size() ? uint16_t(body[at] | body[at + 1] << 8) : 0; }
};

struct SwfMovie {
  bool ok = false;  // signature, length and tag structure all hold
  int version = 0;
  uint32_t fileLength = 0;
  int32_t xmax = 0, ymax = 0;  // twips
  int frameRate = 0;           // integer part
  int frameCount = 0;
  std::vector<SwfTag> tags;
};

SwfMovie ParseMovie(const std::vector<uint8_t>& bytes);
SwfMovie ParseMovieFile(const std::string& path);

// Tag codes as the movie format numbers them.
enum SwfCode {
  kEnd = 0, kShowFrame = 1, kDefineShape = 2, kRemoveObject = 5, kSetBackgroundColor = 9,
  kDoAction = 12, kDefineBitsLossless = 20, kProtect = 24, kPlaceObject2 = 26,
  kDefineButton2 = 34, kDefineBitsLossless2 = 36
};

// Short names of the tags in order, e.g. "bits:1 shape:2 place:1/2 show",
// for readable comparisons of whole sequences. Runs of ShowFrame are
// written "show*N".
std::string DescribeTags(const SwfMovie& movie);
