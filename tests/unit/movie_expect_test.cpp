// The expectation files against the swf-parser check: a movie composed here
// byte by byte (no converter code) is written three times with expectations
// that use every field, so swf_parser_check fails if the C++ writer and the
// checker ever disagree on the format.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "support/movie_expect.h"

namespace {

using Bytes = std::vector<uint8_t>;

void Append(Bytes& out, std::initializer_list<int> bytes) {
  for (int b : bytes) out.push_back(static_cast<uint8_t>(b));
}
void Append(Bytes& out, const Bytes& bytes) { out.insert(out.end(), bytes.begin(), bytes.end()); }
void AppendU16(Bytes& out, unsigned v) { Append(out, {int(v & 0xFF), int((v >> 8) & 0xFF)}); }
void AppendU32(Bytes& out, unsigned v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
void AppendTag(Bytes& out, int code, const Bytes& body, bool forceLong) {
  if (forceLong || body.size() >= 63) {
    AppendU16(out, code * 64 + 63);
    AppendU32(out, static_cast<unsigned>(body.size()));
  } else {
    AppendU16(out, code * 64 + static_cast<unsigned>(body.size()));
  }
  Append(out, body);
}

// UTF-8 bytes written out, so both builds put the same URL in the movie (the
// independent parser reads movie strings as UTF-8).
const char kUrl[] = "http://\xE4\xBE\x8B\xE5\xAD\x90.test/?q=\"x\"";

// 4 x 2 pixels, three colours with alpha, the last one transparent.
Bytes BitmapData() {
  Bytes d;
  Append(d, {0x33, 0x66, 0x99, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0});
  Append(d, {0, 1, 2, 1, 2, 1, 0, 0});
  return d;
}

Bytes ComposeMovie() {
  Bytes body;
  Append(body, {0x43, 0x02, 0x33, 0x66, 0x99});  // SetBackgroundColor
  Append(body, {0x00, 0x06});                    // Protect

  const Bytes data = BitmapData();
  Bytes packed(compressBound(data.size()));
  uLongf packedSize = packed.size();
  EXPECT_EQ(compress2(packed.data(), &packedSize, data.data(), data.size(), 9), Z_OK);
  packed.resize(packedSize);
  Bytes bitmap;
  Append(bitmap, {0x01, 0x00, 0x03, 0x04, 0x00, 0x02, 0x00, 0x02});
  Append(bitmap, packed);
  AppendTag(body, 36, bitmap, true);  // DefineBitsLossless2 1

  // Shape 2 filled with bitmap 1 at the origin, placed at depth 1.
  Append(body, {0xA1, 0x00, 0x02, 0x00, 0x40, 0x02, 0x80, 0x01, 0x40, 0x01, 0x41, 0x01,
                0x00, 0xD9, 0x40, 0x00, 0x05, 0x00, 0x00, 0x00, 0x00, 0x20, 0x15, 0x0A,
                0x05, 0x0E, 0xC5, 0x86, 0xAD, 0x8D, 0x85, 0x0D, 0x55, 0x00, 0x00});
  Append(body, {0x86, 0x06, 0x06, 0x01, 0x00, 0x02, 0x00, 0x00});

  // Link button 3 over shape 2, placed at depth 2.
  const size_t k = sizeof kUrl - 1;
  Bytes button;
  Append(button, {0x03, 0x00, 0x00, 0x0A, 0x00, 0x08, 0x02, 0x00, 0x01, 0x00, 0x00, 0x04, 0x00,
                  0x00, 0x00, 0x04, 0x00, 0x83});
  AppendU16(button, static_cast<unsigned>(k + 2));
  button.insert(button.end(), kUrl, kUrl + k);
  Append(button, {0x00, 0x00, 0x00});
  AppendTag(body, 34, button, false);
  Append(body, {0x86, 0x06, 0x06, 0x02, 0x00, 0x03, 0x00, 0x00});

  AppendTag(body, 12,
            {0x96, 0x0C, 0x00, 0x00, 0x00, 0x07, 0x10, 0x00, 0x00, 0x00, 0x07, 0x00, 0x00, 0x00,
             0x00, 0x23, 0x00},
            true);             // quality switch
  Append(body, {0x40, 0x00});  // ShowFrame

  Append(body, {0x44, 0x01, 0x02, 0x00, 0x01, 0x00});  // RemoveObject 2 at depth 1
  // Solid rectangle 4 in the background colour over the same area, depth 3.
  Append(body, {0x9A, 0x00, 0x04, 0x00, 0x40, 0x02, 0x80, 0x01, 0x40, 0x01, 0x00, 0x33, 0x66, 0x99,
                0x00, 0x10, 0x15, 0x0A, 0x05, 0x1D, 0x8B, 0x0D, 0x5B, 0x1B, 0x0A, 0x1A, 0xAA, 0x00});
  Append(body, {0x86, 0x06, 0x06, 0x03, 0x00, 0x04, 0x00, 0x00});
  // Loop-limit script for 10.
  Append(body, {0x2D, 0x03, 0x96, 0x03, 0x00, 0x00, 0x61, 0x00, 0x1C, 0x96, 0x04, 0x00, 0x00, 0x31,
                0x30, 0x00, 0x0F, 0x12, 0x12, 0x9D, 0x02, 0x00, 0x01, 0x00, 0x07, 0x96, 0x03, 0x00,
                0x00, 0x61, 0x00, 0x96, 0x03, 0x00, 0x00, 0x61, 0x00, 0x1C, 0x96, 0x03, 0x00, 0x00,
                0x31, 0x00, 0x0A, 0x1D, 0x00});
  Append(body, {0x40, 0x00, 0x00, 0x00});  // ShowFrame, End

  Bytes movie;
  Append(movie, {0x46, 0x57, 0x53, 0x02});
  AppendU32(movie, static_cast<unsigned>(18 + body.size()));
  Append(movie, {0x50, 0x00, 0xB4, 0x00, 0x0B, 0x40, 0x00, 0x0A, 0x02, 0x00});
  Append(movie, body);
  return movie;
}

bool WriteMovie(const std::string& path, const Bytes& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

const TwipRect kBounds{0, 0, 80, 40};

TEST(MovieExpect, EveryFieldAgreesWithTheChecker) {
  const std::string path = TestMoviePath("expect_format_all_fields");
  ASSERT_TRUE(WriteMovie(path, ComposeMovie()));

  ExpectedMovie m;
  m.frameCount = 2;
  m.stageXmaxTwips = 360;
  m.stageYmaxTwips = 360;
  m.Add(ExpectBackground(0x336699));
  m.Add(ExpectProtect());
  ExpectedTag bitmap = ExpectBitmap(1, 4, 2, 3, true);
  bitmap.bitmapData = BitmapData();
  m.Add(bitmap);
  m.Add(ExpectBitmapShape(2, kBounds, {1}));
  m.Add(ExpectPlace(1, 2));
  m.Add(ExpectLinkButton(3, kUrl, 2, 1));
  m.Add(ExpectPlace(2, 3));
  ExpectedTag quality = ExpectScript(QualitySwitchActions());
  quality.actionBytes = Bytes{0x96, 0x0C, 0x00, 0x00, 0x00, 0x07, 0x10, 0x00, 0x00,
                              0x00, 0x07, 0x00, 0x00, 0x00, 0x00, 0x23, 0x00};
  m.Add(quality);
  m.Add(ExpectShowFrame());
  m.Add(ExpectRemove(2, 1));
  m.Add(ExpectSolidShape(4, kBounds, 0x336699));
  m.Add(ExpectPlace(3, 4));
  m.Add(ExpectScript(LoopLimitActions(10)));
  m.Add(ExpectShowFrame());
  EXPECT_TRUE(WriteExpectation(path, m));
}

TEST(MovieExpect, SomeTagsInOrderWithBitmapChecksum) {
  const std::string path = TestMoviePath("expect_format_in_order");
  ASSERT_TRUE(WriteMovie(path, ComposeMovie()));

  const Bytes data = BitmapData();
  ExpectedMovie m;
  m.match = ExpectedMovie::Match::kInOrder;
  ExpectedTag& bitmap = m.Add(tag_code::kDefineBitsLossless2);
  bitmap.characterId = 1;
  bitmap.bitmapDataLength = static_cast<uint32_t>(data.size());
  bitmap.bitmapDataCrc32 = static_cast<uint32_t>(crc32(0, data.data(), static_cast<uInt>(data.size())));
  m.Add(ExpectPlace(2, 3));
  m.Add(ExpectScript(LoopLimitActions(10)));
  EXPECT_TRUE(WriteExpectation(path, m));
}

TEST(MovieExpect, ExactCodeSequence) {
  const std::string path = TestMoviePath("expect_format_codes");
  ASSERT_TRUE(WriteMovie(path, ComposeMovie()));

  using namespace tag_code;
  ExpectedMovie m;
  m.frameCount = 2;
  m.AddCodes({kSetBackgroundColor, kProtect, kDefineBitsLossless2, kDefineShape, kPlaceObject2,
              kDefineButton2, kPlaceObject2, kDoAction, kShowFrame, kRemoveObject, kDefineShape,
              kPlaceObject2, kDoAction, kShowFrame});
  EXPECT_TRUE(WriteExpectation(path, m));
}

TEST(MovieExpect, PathsAndJsonText) {
  // Movies land under the build folder whatever the current folder is.
  const std::filesystem::path movie = TestMoviePath("a");
  EXPECT_TRUE(movie.is_absolute()) << movie;
  EXPECT_EQ(movie.parent_path().filename(), "test-movies");
  EXPECT_EQ(movie.filename(), "a.swf");
  EXPECT_EQ(ExpectationPath("test-movies/a.swf"), "test-movies/a.expect.json");

  ExpectedMovie m;
  m.Add(ExpectScript({"Push \"a\\b\"", std::string("x\ty")}));
  m.Add(ExpectBackground(0x0A0B0C));
  m.frameCount = 0;
  EXPECT_EQ(ExpectationJson(m),
            "{\"frameCount\":0,\"tagMatch\":\"exact\",\"tags\":[\n"
            "{\"code\":12,\"actions\":[\"Push \\\"a\\\\b\\\"\",\"x\\u0009y\"]},\n"
            "{\"code\":9,\"colour\":\"0a0b0c\"}]}\n");
}

}  // namespace
