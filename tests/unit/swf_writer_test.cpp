// Byte-exact checks of the SWF writer against the encodings the movie format
// fixes (tag headers, RECT, MATRIX, control tags, shapes, bitmaps, button).
#include <gtest/gtest.h>
#include <zlib.h>

#include <string>

#include "support/body_capture.h"
#include "support/temp_folder.h"
#include "swf/bit_writer.h"
#include "swf/bitmap_pool.h"
#include "swf/bitmap_tag.h"
#include "swf/swf_writer.h"
#include "swf/control_tags.h"
#include "swf/geometry.h"
#include "swf/link_button.h"
#include "swf/movie_header.h"
#include "swf/shape_tag.h"

namespace {

std::string Hex(const TagBuffer& b) { return ToHex(Bytes(b.data, b.data + b.position)); }

TEST(TagHeader, ShortAndLongForms) {
  TagBuffer b;
  PutTagHeader(1, b, 0, false);    // ShowFrame
  PutTagHeader(0, b, 0, false);    // End
  PutTagHeader(20, b, 100, true);  // DefineBitsLossless of 100 bytes
  EXPECT_EQ(Hex(b), "40 00 00 00 3F 05 64 00 00 00");

  TagBuffer s, l;
  PutTagHeader(2, s, 62, false);
  PutTagHeader(2, l, 63, false);
  EXPECT_EQ(Hex(s), "BE 00");
  EXPECT_EQ(Hex(l), "BF 00 3F 00 00 00");
}

TEST(TagBufferBounds, WritesPastTheEndAreDroppedAndRemembered) {
  uint8_t memory[3];
  TagBuffer b(memory, sizeof memory);
  PutU16(0x1234, b);
  EXPECT_TRUE(b.ok());
  PutU16(0x5678, b);
  EXPECT_FALSE(b.ok());
  EXPECT_EQ(b.position, 2u);
  // A tag whose buffer overflowed is not appended at all.
  Bytes body = CaptureBody([&](SwfWriter& w) { EXPECT_FALSE(AppendTag(w, 9, b, false)); });
  EXPECT_TRUE(body.empty());

  // A bit run stops at the end of caller memory too.
  uint8_t guarded[3] = {0, 0, 0x5A};
  TagBuffer f(guarded, 2);
  BitWriter bits;
  ResetBits(bits, f);
  PutBits(bits, 20, 0xFFFFF);
  AlignBits(bits);
  EXPECT_FALSE(f.ok());
  EXPECT_EQ(f.position, 2u);
  EXPECT_EQ(guarded[2], 0x5A);
}

// A buffer of its own grows under byte and bit writes alike: earlier bytes
// stay, and bits OR-ed into bytes made by growing land on zeros.
TEST(TagBufferBounds, OwnBufferGrowsAsWritten) {
  TagBuffer b;
  Bytes expected;
  for (int i = 0; i < 63; ++i) {
    PutU8(static_cast<uint32_t>(i), b);
    expected.push_back(static_cast<uint8_t>(i));
  }
  BitWriter bits;
  ResetBits(bits, b);
  PutBits(bits, 10, 0x3FF);  // across the end of the first allocation
  for (int i = 0; i < 1000; ++i) PutBits(bits, 8, 0x0F);
  AlignBits(bits);
  expected.push_back(0xFF);
  expected.push_back(0xC3);
  for (int i = 0; i < 999; ++i) expected.push_back(0xC3);
  expected.push_back(0xC0);
  for (int i = 0; i < 3000; ++i) {
    PutU16(static_cast<uint32_t>(i * 7), b);
    expected.push_back(static_cast<uint8_t>(i * 7));
    expected.push_back(static_cast<uint8_t>((i * 7) >> 8));
  }
  EXPECT_TRUE(b.ok());
  ASSERT_EQ(b.position, expected.size());
  EXPECT_EQ(Bytes(b.data, b.data + b.position), expected);
}

TEST(BitWriter, SignedBitCounts) {
  EXPECT_EQ(SignedBitCount(1, 1), 2);
  EXPECT_EQ(SignedBitCount(20, 0), 6);
  EXPECT_EQ(SignedBitCount(0, 360), 10);
  EXPECT_EQ(SignedBitCount(-4, 0), 4);
  EXPECT_EQ(SignedBitCount(0, 0), 0);
  EXPECT_EQ(SignedBitCount(-65535, 65535), 17);
}

TEST(BitWriter, NegativeFieldIsTwosComplement) {
  TagBuffer b;
  BitWriter bits;
  ResetBits(bits, b);
  PutSignedBits(bits, 6, -20);
  AlignBits(bits);
  EXPECT_EQ(Hex(b), "B0");  // 101100 then two zero bits
  TagBuffer c;
  ResetBits(bits, c);
  PutBits(bits, 6, 44);
  AlignBits(bits);
  EXPECT_EQ(Hex(c), "B0");
}

TEST(BitWriter, RunEndingOnByteBoundaryAddsNoByte) {
  TagBuffer b;
  PutU8(0xAA, b);
  BitWriter bits;
  ResetBits(bits, b);
  PutBits(bits, 16, 0x1234);
  AlignBits(bits);
  PutU8(0xBB, b);
  EXPECT_EQ(Hex(b), "AA 12 34 BB");
}

TEST(Rect, ExamplesFromTheFormat) {
  TagBuffer b;
  WriteRect(0, 0, 360, 360, b);
  EXPECT_EQ(Hex(b), "50 00 B4 00 0B 40");
  TagBuffer z;
  WriteRect(0, 0, 0, 0, z);
  EXPECT_EQ(Hex(z), "00");
}

TEST(Matrix, ScaleOnlyAndIdentity) {
  SwfMatrix m;
  m.hasScale = 1;
  m.scaleX = m.scaleY = 0x140000;
  TagBuffer b;
  WriteMatrix(m, b);
  EXPECT_EQ(Hex(b), "D9 40 00 05 00 00 00");
  TagBuffer e;
  WriteMatrix(SwfMatrix(), e);
  EXPECT_EQ(Hex(e), "00");
}

TEST(RowPadding, RowsAreMultiplesOfFour) {
  const int widths[] = {1, 2, 3, 4, 5, 8};
  const int padded[] = {4, 4, 4, 4, 8, 8};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(widths[i] + RowPadding(widths[i]), padded[i]) << widths[i];
}

TEST(MovieHeader, FramelessMovieOfMinimumStage) {
  Bytes header;
  Bytes body = CaptureBody([&](SwfWriter& w) {
    WriteEnd(w);
    MovieHeader h;
    MakeHeader(h, 10, 5, 0);  // smaller than 18 x 18: raised
    uint8_t buf[kHeaderBufferSize];
    int n = 0;
    ASSERT_EQ(ComposeHeader(h, w.bodyLength, buf, n), 1);
    header.assign(buf, buf + n);
    EXPECT_EQ(h.fileLength, 20);
  });
  EXPECT_EQ(ToHex(header), "46 57 53 02 14 00 00 00 50 00 B4 00 0B 40 00 0A 00 00");
  EXPECT_EQ(ToHex(body), "00 00");
}

TEST(MovieHeader, FrameCountIsKeptModulo65536) {
  MovieHeader h;
  MakeHeader(h, 100, 40, 65536 + 7);
  uint8_t buf[kHeaderBufferSize];
  int n = 0;
  ASSERT_TRUE(ComposeHeader(h, 0, buf, n));
  EXPECT_EQ(h.xmax, 2000);
  EXPECT_EQ(h.ymax, 800);
  EXPECT_EQ(buf[n - 2], 7);
  EXPECT_EQ(buf[n - 1], 0);
}

TEST(ControlTags, ExactBytes) {
  EXPECT_EQ(ToHex(CaptureBody([](SwfWriter& w) { WriteShowFrame(w); })), "40 00");
  EXPECT_EQ(ToHex(CaptureBody([](SwfWriter& w) { WriteProtect(w); })), "00 06");
  EXPECT_EQ(ToHex(CaptureBody([](SwfWriter& w) { WriteBackgroundColor(w, 0x336699); })), "43 02 33 66 99");
  EXPECT_EQ(ToHex(CaptureBody([](SwfWriter& w) { WritePlace(w, 1, 2); })), "86 06 06 01 00 02 00 00");
  EXPECT_EQ(ToHex(CaptureBody([](SwfWriter& w) { WriteRemove(w, 1, 2); })), "44 01 02 00 01 00");
  EXPECT_EQ(ToHex(CaptureBody([](SwfWriter& w) { WriteFrameScript(w, -1); })), "02 03 07 00");
  EXPECT_EQ(ToHex(CaptureBody([](SwfWriter& w) { WriteFrameScript(w, -2); })),
            "3F 03 11 00 00 00 96 0C 00 00 00 07 10 00 00 00 07 00 00 00 00 23 00");
  EXPECT_TRUE(CaptureBody([](SwfWriter& w) { WriteFrameScript(w, 0); }).empty());
  EXPECT_TRUE(CaptureBody([](SwfWriter& w) { WriteFrameScript(w, -3); }).empty());
}

TEST(ControlTags, LoopLimitScript) {
  Bytes two = CaptureBody([](SwfWriter& w) { WriteFrameScript(w, 2); });
  ASSERT_EQ(two.size(), 46u);
  EXPECT_EQ(ToHex(two),
            "2C 03 96 03 00 00 61 00 1C 96 03 00 00 32 00 0F 12 12 9D 02 00 01 00 07 "
            "96 03 00 00 61 00 96 03 00 00 61 00 1C 96 03 00 00 31 00 0A 1D 00");
  Bytes ten = CaptureBody([](SwfWriter& w) { WriteFrameScript(w, 10); });
  ASSERT_EQ(ten.size(), 2u + 45u);
  EXPECT_EQ(ten[0], 0x2D);  // 12 * 64 + 45
}

// A frame of 4 x 2 pixels at the origin, bitmap id 1.
RectangleShape OriginShape(FrameBitmap& b) {
  b.characterId = 1;
  b.width = 4;
  b.height = 2;
  RectangleShape s;
  s.xmin = 0;
  s.ymin = 0;
  s.xmax = 80;
  s.ymax = 40;
  s.fillBits = 2;
  s.fillStyleCount = 1;
  s.fillStyle1 = 1;
  s.moveToX = 80;
  s.moveToY = 40;
  s.fillBitmapIds[0] = 1;
  s.fillMatrices[0].hasScale = 1;
  s.fillMatrices[0].scaleX = s.fillMatrices[0].scaleY = 0x140000;
  return s;
}

TEST(Shape, BitmapFilledRectangleAtOrigin) {
  FrameBitmap b;
  RectangleShape s = OriginShape(b);
  EXPECT_EQ(ToHex(CaptureBody([&](SwfWriter& w) { WriteShape(w, kFillClippedBitmap, b.characterId + 1, s); })),
            "A1 00 02 00 40 02 80 01 40 01 41 01 00 D9 40 00 05 00 00 00 00 20 15 0A 05 0E C5 86 AD 8D 85 0D 55 "
            "00 00");
}

TEST(Shape, SolidRectangleKeepsBoundsAndOutline) {
  FrameBitmap b;
  RectangleShape s = OriginShape(b);
  s.solidColour[0] = 0xFF;
  s.solidColour[1] = 0x80;
  s.solidColour[2] = 0x01;
  Bytes tag = CaptureBody([&](SwfWriter& w) { WriteShape(w, kFillSolid, b.characterId + 1, s); });
  // 26 bytes: id 2, the same RECT, one solid fill FF 80 01, no line styles, fill bits 1.
  ASSERT_GE(tag.size(), 18u);
  EXPECT_EQ(ToHex(Bytes(tag.begin(), tag.begin() + 17)), "9A 00 02 00 40 02 80 01 40 01 00 FF 80 01 00 10 15");
  EXPECT_EQ(s.fillBits, 1);
  EXPECT_EQ(s.fillStyleCount, 1);
}

// Reads the straight edges of a DefineShape written by WriteShape, so that a
// long side can be checked to add up.
struct BitReader {
  const Bytes& b;
  size_t bit;
  uint32_t Get(int n) {
    uint32_t v = 0;
    for (int i = 0; i < n; ++i, ++bit) v = (v << 1) | ((b[bit / 8] >> (7 - bit % 8)) & 1);
    return v;
  }
  int32_t GetSigned(int n) {
    uint32_t v = Get(n);
    return n && (v >> (n - 1)) ? static_cast<int32_t>(v | (~0u << n)) : static_cast<int32_t>(v);
  }
};

struct EdgeSums {
  int64_t x = 0, y = 0, edges = 0;
  int32_t longest = 0;
  bool straight = true;  // every edge a straight horizontal or vertical one
  bool ended = false;    // the end-of-shape record follows the edges
};

// Adds up the edges of a bitmap-filled rectangle as WriteShape writes it.
EdgeSums ReadEdges(const Bytes& tag) {
  // Skip header (2 or 6), id, RECT, styles; the RECT's size varies, so parse it.
  size_t hdr = (tag[0] & 0x3F) == 0x3F ? 6 : 2;
  BitReader r{tag, (hdr + 2) * 8};
  int nb = static_cast<int>(r.Get(5));
  r.bit += 4 * nb;
  r.bit = (r.bit + 7) / 8 * 8;
  size_t pos = r.bit / 8;
  pos += 1 + 1 + 2 + 7;  // count, type, bitmap id, matrix
  pos += 1;              // line styles
  BitReader rec{tag, pos * 8};
  rec.Get(8);  // fill and line bits
  rec.Get(6);  // style change flags
  int mb = static_cast<int>(rec.Get(5));
  rec.Get(2 * mb);
  rec.Get(2);  // fill style 1 index
  EdgeSums sums;
  while (rec.bit + 6 < tag.size() * 8 && rec.Get(1) == 1) {
    if (rec.Get(1) != 1) sums.straight = false;
    int n = static_cast<int>(rec.Get(4)) + 2;
    if (rec.Get(1) != 0) sums.straight = false;
    bool vertical = rec.Get(1) == 1;
    int32_t d = std::abs(rec.GetSigned(n));
    (vertical ? sums.y : sums.x) += d;
    if (d > sums.longest) sums.longest = d;
    ++sums.edges;
  }
  sums.ended = rec.Get(5) == 0 && rec.bit <= tag.size() * 8;
  return sums;
}

TEST(Shape, SidesLongerThanOneEdgeAreSplit) {
  FrameBitmap b;
  b.characterId = 1;
  RectangleShape s = OriginShape(b);
  s.xmax = 4000 * 20;  // 80000 twips: more than one edge can hold
  s.ymax = 3 * 20;
  s.moveToX = s.xmax;
  s.moveToY = s.ymax;
  Bytes tag = CaptureBody([&](SwfWriter& w) { WriteShape(w, kFillClippedBitmap, b.characterId + 1, s); });
  ASSERT_GT(tag.size(), 30u);
  EdgeSums e = ReadEdges(tag);
  EXPECT_TRUE(e.straight);
  EXPECT_TRUE(e.ended);
  EXPECT_LE(e.longest, 65535);
  EXPECT_EQ(e.x, 2 * 80000);
  EXPECT_EQ(e.y, 2 * 60);
  EXPECT_EQ(e.edges, 6);

  // Hundreds of edges: the tag grows well past its first allocation.
  s.xmax = s.moveToX = 5000000;
  s.ymax = s.moveToY = 3000000;
  tag = CaptureBody([&](SwfWriter& w) { EXPECT_TRUE(WriteShape(w, kFillClippedBitmap, b.characterId + 1, s)); });
  ASSERT_GT(tag.size(), 700u);
  e = ReadEdges(tag);
  EXPECT_TRUE(e.straight);
  EXPECT_TRUE(e.ended);
  EXPECT_LE(e.longest, 65535);
  EXPECT_EQ(e.x, 2 * 5000000);
  EXPECT_EQ(e.y, 2 * 3000000);
  EXPECT_EQ(e.edges, 2 * 77 + 2 * 46);  // ceil(side / 65535) per side
}

FrameBitmap FiveByThree(int entrySize) {
  FrameBitmap b;
  b.characterId = 1;
  b.width = 5;
  b.height = 3;
  b.numColours = 4;
  b.colourEntrySize = entrySize;
  for (int i = 0; i < 4 * entrySize; ++i) b.colourTable[i] = static_cast<uint8_t>(i * 7);
  b.pixelBytes = 8 * 3;
  b.pixels.reset(new uint8_t[b.pixelBytes]());
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x) b.pixels[y * 8 + x] = static_cast<uint8_t>((x + y) & 3);
  return b;
}

TEST(Bitmap, LosslessTagLayoutAndData) {
  FrameBitmap b = FiveByThree(3);
  Bytes tag = CaptureBody([&](SwfWriter& w) { EXPECT_TRUE(WriteBitmap(w, b, 9)); });
  ASSERT_GT(tag.size(), 14u);
  EXPECT_EQ(ToHex(Bytes(tag.begin(), tag.begin() + 2)), "3F 05");
  uint32_t length = tag[2] | tag[3] << 8 | tag[4] << 16 | static_cast<uint32_t>(tag[5]) << 24;
  EXPECT_EQ(length, tag.size() - 6);
  EXPECT_EQ(ToHex(Bytes(tag.begin() + 6, tag.begin() + 14)), "01 00 03 05 00 03 00 03");
  uLongf size = 100;
  Bytes data(100);
  ASSERT_EQ(uncompress(data.data(), &size, tag.data() + 14, tag.size() - 14), Z_OK);
  ASSERT_EQ(size, 12u + 3 * 8);
  EXPECT_TRUE(std::equal(data.begin(), data.begin() + 12, b.colourTable));
  EXPECT_TRUE(std::equal(data.begin() + 12, data.begin() + 36, b.pixels.get()));
}

TEST(Bitmap, AlphaTableGivesLossless2AndLongHeader) {
  FrameBitmap b = FiveByThree(4);
  b.numColours = 2;
  Bytes tag = CaptureBody([&](SwfWriter& w) { WriteBitmap(w, b, 9); });
  ASSERT_GT(tag.size(), 14u);
  EXPECT_EQ(tag[0], 0x3F);
  EXPECT_EQ(tag[1], 0x09);       // code 36
  EXPECT_EQ(tag[6 + 7], 0x01);   // two colours
  FrameBitmap full = FiveByThree(3);
  full.numColours = 256;
  Bytes t256 = CaptureBody([&](SwfWriter& w) { WriteBitmap(w, full, 9); });
  EXPECT_EQ(t256[6 + 7], 0xFF);
}

TEST(Bitmap, BadRecordWritesNothingAndFailsTheBody) {
  FrameBitmap b = FiveByThree(3);
  b.pixelBytes = 10;  // shorter than 3 rows of 8
  Bytes tag = CaptureBody([&](SwfWriter& w) {
    EXPECT_FALSE(WriteBitmap(w, b, 9));
    EXPECT_TRUE(w.failed);
  });
  EXPECT_TRUE(tag.empty());
}

// A width x height bitmap of pattern and noise: some rows compress well,
// some hardly, so bitmaps handed over together finish out of order.
FrameBitmap Patterned(int32_t id, int32_t width, int32_t height, uint32_t seed) {
  FrameBitmap b;
  b.characterId = id;
  b.width = width;
  b.height = height;
  b.numColours = 256;
  b.colourEntrySize = (seed & 1) ? 4 : 3;
  for (int i = 0; i < 256 * 4; ++i) b.colourTable[i] = static_cast<uint8_t>(i * 13 + seed);
  size_t stride = static_cast<size_t>(width) + RowPadding(width);
  b.pixelBytes = stride * static_cast<size_t>(height);
  b.pixels.reset(new uint8_t[b.pixelBytes]());
  uint32_t x = seed * 2654435761u + 1;
  for (size_t i = 0; i < b.pixelBytes; ++i) {
    x ^= x << 13, x ^= x >> 17, x ^= x << 5;
    b.pixels[i] = (i / stride) % 3 == 0 ? static_cast<uint8_t>(x) : static_cast<uint8_t>(i % 7);
  }
  return b;
}

// Bitmaps handed to compression threads reach the body exactly as when each
// is compressed where it is written, each followed by the tags written after
// it: with a large first frame that finishes after the small ones behind it,
// more frames than the window holds, a bitmap the writer refuses, and a frame
// whose rows span many pieces.
TEST(BitmapThreads, SameBytesInTheSameOrderAsInPlace) {
  const int32_t sizes[][2] = {{700, 500}, {3, 2}, {40, 30}, {1, 1}, {300, 200}, {17, 90}};
  auto write = [&](SwfWriter& w) {
    for (int i = 0; i < 40; ++i) {
      const int32_t* size = sizes[i % 6];
      FrameBitmap b = Patterned(2 * i + 1, size[0], size[1], static_cast<uint32_t>(i));
      if (i == 13) b.pixelBytes = 1;  // refused: no tag, body marked incomplete
      QueueBitmap(w, b, 9);
      WriteShowFrame(w);
      if (i % 4 == 0) WritePlace(w, 2 * i + 1, 2 * i + 2);
    }
  };
  bool inPlaceFailed = false, pooledFailed = false;
  Bytes inPlace = CaptureBody([&](SwfWriter& w) {
    write(w);
    inPlaceFailed = w.failed;
  });
  Bytes pooled = CaptureBody([&](SwfWriter& w) {
    ASSERT_EQ(StartBitmapThreads(w, 3, nullptr), 3);
    write(w);
    FinishBitmaps(w);
    pooledFailed = w.failed;
  });
  EXPECT_TRUE(inPlaceFailed);
  EXPECT_TRUE(pooledFailed);
  ASSERT_GT(inPlace.size(), 700u * 500u / 2);
  EXPECT_EQ(pooled.size(), inPlace.size());
  EXPECT_TRUE(pooled == inPlace);
}

TEST(LinkButton, EmptyUrlExactTag) {
  EXPECT_EQ(ToHex(CaptureBody([](SwfWriter& w) { WriteLinkButton(w, 1, 3, ""); })),
            "97 08 03 00 00 0A 00 08 02 00 01 00 00 04 00 00 00 04 00 83 02 00 00 00 00");
}

TEST(LinkButton, HeaderFormFollowsUrlLengthAndUrlIsCopied) {
  std::string u39(39, 'x'), u40(40, 'y');
  Bytes t39 = CaptureBody([&](SwfWriter& w) { WriteLinkButton(w, 1, 3, u39.c_str()); });
  Bytes t40 = CaptureBody([&](SwfWriter& w) { WriteLinkButton(w, 1, 3, u40.c_str()); });
  EXPECT_EQ(ToHex(Bytes(t39.begin(), t39.begin() + 2)), "BE 08");
  EXPECT_EQ(ToHex(Bytes(t40.begin(), t40.begin() + 6)), "BF 08 3F 00 00 00");
  // Longer than the old fixed buffer: still whole.
  std::string url = "http://example.org/?q=" + std::string(3000, 'z') + "&x=%20";
  Bytes big = CaptureBody([&](SwfWriter& w) { WriteLinkButton(w, 1, 3, url.c_str()); });
  ASSERT_EQ(big.size(), 6 + 23 + url.size());
  EXPECT_EQ(std::string(big.begin() + 6 + 20, big.begin() + 6 + 20 + url.size()), url);
}

// A body in a file and a body in memory take the same bytes and assemble to
// the same movie, into a file or into memory; a discarded body leaves none.
TEST(Body, FileAndMemoryBodiesAssembleAlike) {
  const uint8_t header[3] = {'F', 'W', 'S'};
  const Bytes tags = HexBytes("40 00 3F 05 03 00 00 00 0A 0B 0C 00 00");
  const std::string path = FreshFolder("body-kinds") + "/movie.swf";
  for (int memoryBody = 0; memoryBody < 2; ++memoryBody) {
    for (int toMemory = 0; toMemory < 2; ++toMemory) {
      SwfWriter w;
      ASSERT_EQ(memoryBody ? OpenBodyInMemory(w) : OpenBody(w), true);
      EXPECT_EQ(AppendBody(w, tags.data(), 2), 2);
      EXPECT_EQ(AppendBody(w, tags.data() + 2, tags.size() - 2), static_cast<int32_t>(tags.size()));
      Bytes movie;
      if (toMemory) {
        ASSERT_EQ(AssembleMovieInMemory(w, header, 3, movie).status, AssemblyStatus::kWritten);
      } else {
        ASSERT_EQ(AssembleMovie(w, path.c_str(), header, 3).status, AssemblyStatus::kWritten);
        movie = ReadFileBytes(path);
      }
      EXPECT_EQ(ToHex(movie), "46 57 53 " + ToHex(tags)) << memoryBody << toMemory;
      EXPECT_TRUE(w.memoryBody.empty() && !w.body && !w.bodyInMemory);
    }
    SwfWriter w;
    ASSERT_EQ(memoryBody ? OpenBodyInMemory(w) : OpenBody(w), true);
    AppendBody(w, tags.data(), tags.size());
    DiscardBody(w);
    Bytes movie{1};
    EXPECT_EQ(AssembleMovieInMemory(w, header, 3, movie).status, AssemblyStatus::kBodyIncomplete);
    EXPECT_TRUE(movie.empty());
  }
}

}  // namespace

// A shape that cannot be composed must fail the movie, not leave a hole in it.
TEST(ShapeTag, ShapeThatCannotBeComposedFailsTheBody) {
  SwfWriter w;
  ASSERT_TRUE(OpenBodyInMemory(w));
  RectangleShape s;
  s.fillStyleCount = 3;
  EXPECT_FALSE(WriteShape(w, kFillClippedBitmap, 2, s));
  EXPECT_TRUE(w.failed);
}
