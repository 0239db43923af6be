// What a test expects of a movie it wrote. The test writes the movie to
// TestMoviePath(name) and the expectation beside it with WriteExpectation;
// after the test programs have run, the swf_parser_check test parses every
// movie in the build folder's test-movies/ with an independent SWF parser and compares it with
// its expectation file (tests/swfcheck/check.mjs).
//
// Whatever the expectation, the check always demands: signature FWS,
// version 2, 10 frames per second, FileLength = file size, a stage starting
// at (0, 0), frame count = number of ShowFrame tags, a single End at the very
// end, every tag body fully parsed, bitmap data that inflates to exactly the
// colour table plus rows padded to a multiple of 4, defined-before-used
// character ids, a consistent display list and action lists ending in
// ActionEnd. End itself is never listed in an expectation.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

namespace tag_code {
constexpr int kShowFrame = 1;
constexpr int kDefineShape = 2;
constexpr int kRemoveObject = 5;
constexpr int kSetBackgroundColor = 9;
constexpr int kDoAction = 12;
constexpr int kDefineBitsLossless = 20;
constexpr int kProtect = 24;
constexpr int kPlaceObject2 = 26;
constexpr int kDefineButton2 = 34;
constexpr int kDefineBitsLossless2 = 36;
}  // namespace tag_code

struct TwipRect {
  int xmin = 0, ymin = 0, xmax = 0, ymax = 0;
};

// One expected tag: its code and the fields to compare; unset fields are not
// compared. Which fields apply depends on the code (the check rejects a
// field set on a tag it does not apply to).
struct ExpectedTag {
  int code = 0;
  // Defined character (bitmap, shape, button), or the character placed or
  // removed (PlaceObject2, RemoveObject).
  std::optional<int> characterId;
  std::optional<int> depth;  // PlaceObject2, RemoveObject

  // DefineBitsLossless (20) / DefineBitsLossless2 (36).
  std::optional<int> width, height;
  std::optional<int> colours;  // number of colour table entries
  std::optional<bool> alpha;   // true: DefineBitsLossless2
  // The inflated data (colour table, then padded rows): compared in full, or
  // by length and CRC-32 (zlib's crc32) to keep large bitmaps out of the file.
  std::optional<std::vector<uint8_t>> bitmapData;
  std::optional<uint32_t> bitmapDataLength;
  std::optional<uint32_t> bitmapDataCrc32;

  // DefineShape: bounds in twips, the bitmap id of each fill style in order
  // (65535 for the placeholder fill), or the colour of its single solid fill.
  std::optional<TwipRect> bounds;
  std::optional<std::vector<int>> fillBitmapIds;
  std::optional<uint32_t> solidColour;  // 0xRRGGBB

  // DoAction: the actions as text (see ExpectedActions below), without the
  // final ActionEnd, and/or the exact body bytes including it.
  std::optional<std::vector<std::string>> actions;
  std::optional<std::vector<uint8_t>> actionBytes;

  // DefineButton2: URL bytes as given (the whole GetURL action with an empty
  // target is compared), hit-area character and depth.
  std::optional<std::string> url;
  std::optional<int> hitCharacterId;
  std::optional<int> hitDepth;

  // SetBackgroundColor.
  std::optional<uint32_t> colour;  // 0xRRGGBB
};

struct ExpectedMovie {
  // Header; unset fields are not compared (FileLength always is).
  std::optional<int> frameCount;  // number of ShowFrame tags (stored modulo 65536)
  std::optional<int> stageXmaxTwips;
  std::optional<int> stageYmaxTwips;

  // Exact: tags is the whole tag list before End, one for one.
  // InOrder: each expected tag matches a later tag of its code whose fields
  // agree, in order; other tags may come between.
  enum class Match { kExact, kInOrder };
  Match match = Match::kExact;
  std::vector<ExpectedTag> tags;

  // Appends a tag with only its code; returns it for setting fields.
  ExpectedTag& Add(int code);
  void Add(const ExpectedTag& tag) { tags.push_back(tag); }
  // Appends tags with only their codes: "the sequence is exactly these".
  void AddCodes(std::initializer_list<int> codes);
  void AddCodes(const std::vector<int>& codes);
};

// Builders for the tags the converter writes.
ExpectedTag ExpectShowFrame();
ExpectedTag ExpectProtect();
ExpectedTag ExpectBackground(uint32_t rgb);
ExpectedTag ExpectPlace(int depth, int characterId);
ExpectedTag ExpectRemove(int characterId, int depth);
ExpectedTag ExpectBitmap(int id, int width, int height, int colours, bool alpha);
ExpectedTag ExpectBitmapShape(int id, TwipRect bounds, std::vector<int> fillBitmapIds);
ExpectedTag ExpectSolidShape(int id, TwipRect bounds, uint32_t rgb);
ExpectedTag ExpectScript(std::vector<std::string> actions);
ExpectedTag ExpectLinkButton(int id, const std::string& url, int hitCharacterId, int hitDepth);

// Frame scripts as action text, in the form the check prints them:
// the avm1-parser action name, then arguments; pushed strings are quoted as
// JSON strings, 32-bit integers are plain numbers, e.g. `Push "" 16 0`,
// `If 1`, `GetUrl "http://a" ""`.
std::vector<std::string> StopActions();
std::vector<std::string> QualitySwitchActions();
std::vector<std::string> LoopLimitActions(unsigned n);

// "<build folder>/test-movies/<name>.swf", an absolute path (also under
// Wine), whatever the current folder.
std::string TestMoviePath(const std::string& name);
// "<movie without .swf>.expect.json".
std::string ExpectationPath(const std::string& moviePath);
// Writes the expectation beside the movie; returns false if it cannot.
bool WriteExpectation(const std::string& moviePath, const ExpectedMovie& movie);
// The JSON text WriteExpectation writes.
std::string ExpectationJson(const ExpectedMovie& movie);
