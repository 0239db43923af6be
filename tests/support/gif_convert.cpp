#include "gif_convert.h"

#include <zlib.h>

#include <cstdio>
#include <filesystem>

#include "support/temp_folder.h"

namespace fs = std::filesystem;

Conversion ConvertGif(const gifbuild::GifBuilder& gif, const std::string& name, const ConversionOptions& options) {
  std::string gifPath = (fs::path(FreshFolder(name)) / (name + ".gif")).string();
  if (!gif.Save(gifPath)) {
    Conversion c;
    c.gifPath = gifPath;
    c.moviePath = TestMoviePath(name);
    ADD_FAILURE() << "cannot write " << gifPath;
    return c;
  }
  return ConvertGifFile(gifPath, name, options);
}

Conversion ConvertGifFile(const std::string& gifPath, const std::string& name, const ConversionOptions& options) {
  Conversion c;
  c.gifPath = gifPath;
  c.moviePath = TestMoviePath(name);
  std::remove(c.moviePath.c_str());
  std::remove(ExpectationPath(c.moviePath).c_str());
  c.result = ConvertFile(c.gifPath.c_str(), c.moviePath.c_str(), options, &c.progress);
  c.movie = ParseMovieFile(c.moviePath);
  return c;
}

std::vector<const SwfTag*> TagsOf(const SwfMovie& movie, int code) {
  std::vector<const SwfTag*> out;
  for (const SwfTag& t : movie.tags)
    if (t.code == code) out.push_back(&t);
  return out;
}

std::vector<const SwfTag*> Bitmaps(const SwfMovie& movie) {
  std::vector<const SwfTag*> out;
  for (const SwfTag& t : movie.tags)
    if (t.code == kDefineBitsLossless || t.code == kDefineBitsLossless2) out.push_back(&t);
  return out;
}

std::vector<uint8_t> BitmapData(const SwfTag& tag) {
  if ((tag.code != kDefineBitsLossless && tag.code != kDefineBitsLossless2) || tag.body.size() < 8) return {};
  const size_t entry = tag.code == kDefineBitsLossless2 ? 4 : 3;
  const size_t width = tag.U16(3), height = tag.U16(5);
  const size_t colours = static_cast<size_t>(tag.body[7]) + 1;
  const size_t want = colours * entry + (width + 3) / 4 * 4 * height;
  // One byte more than needed, so surplus data shows as a wrong length.
  std::vector<uint8_t> out(want + 1);
  uLongf got = static_cast<uLongf>(out.size());
  int rc = uncompress(out.data(), &got, tag.body.data() + 8, static_cast<uLong>(tag.body.size() - 8));
  if (rc != Z_OK) return {};
  out.resize(got);
  return out;
}

BitmapParts SplitBitmapData(const SwfTag& tag) {
  std::vector<uint8_t> d = BitmapData(tag);
  size_t tableBytes = (static_cast<size_t>(tag.body.size() > 7 ? tag.body[7] : 0) + 1) *
                      (tag.code == kDefineBitsLossless2 ? 4 : 3);
  if (d.size() < tableBytes) return {};
  return {std::vector<uint8_t>(d.begin(), d.begin() + tableBytes), std::vector<uint8_t>(d.begin() + tableBytes, d.end())};
}

ExpectedTag ExpectStop() { return ExpectScript(StopActions()); }
ExpectedTag ExpectLoopLimit(unsigned n) { return ExpectScript(LoopLimitActions(n)); }
ExpectedTag ExpectQualitySwitch() { return ExpectScript(QualitySwitchActions()); }

void ExpectFrame(ExpectedMovie& m, int id, int left, int top, int width, int height, int colours, bool alpha) {
  m.Add(ExpectBitmap(id, width, height, colours, alpha));
  TwipRect bounds{left * 20, top * 20, (left + width) * 20, (top + height) * 20};
  if (left == 0 && top == 0)
    m.Add(ExpectBitmapShape(id + 1, bounds, {id}));
  else
    m.Add(ExpectBitmapShape(id + 1, bounds, {65535, id}));
  m.Add(ExpectPlace(id, id + 1));
}

void ExpectShows(ExpectedMovie& m, int n) {
  for (int i = 0; i < n; ++i) m.Add(ExpectShowFrame());
}

namespace {

std::string ScriptName(const ExpectedTag& t) {
  if (!t.actions) return "action";
  const std::vector<std::string>& a = *t.actions;
  if (a == StopActions()) return "stop";
  if (a == QualitySwitchActions()) return "lowquality";
  // The limit is the pushed string of the third action: Push "n".
  if (a.size() > 2 && a[2].size() > 7 && a[2].compare(0, 6, "Push \"") == 0) {
    std::string n = a[2].substr(6, a[2].size() - 7);
    if (a == LoopLimitActions(static_cast<unsigned>(std::stoul(n)))) return "loop:" + n;
  }
  return "action";
}

// MSB-first bit reader over a tag body, for RECT and MATRIX records.
struct Bits {
  const std::vector<uint8_t>& b;
  size_t bit;
  uint32_t U(int n) {
    uint32_t v = 0;
    for (int i = 0; i < n; ++i, ++bit) {
      size_t at = bit / 8;
      v = (v << 1) | (at < b.size() ? (b[at] >> (7 - bit % 8)) & 1u : 0u);
    }
    return v;
  }
  int32_t S(int n) {
    uint32_t v = U(n);
    if (n > 0 && n < 32 && (v >> (n - 1)) & 1) v |= ~0u << n;
    return static_cast<int32_t>(v);
  }
  void Align() { bit = (bit + 7) / 8 * 8; }
};

struct ShapeFacts {
  TwipRect bounds;
  std::vector<int> fillBitmapIds;
  int64_t solid = -1;
};

ShapeFacts ReadShape(const SwfTag& t) {
  ShapeFacts f;
  Bits r{t.body, 16};
  int n = static_cast<int>(r.U(5));
  f.bounds.xmin = r.S(n);
  f.bounds.xmax = r.S(n);
  f.bounds.ymin = r.S(n);
  f.bounds.ymax = r.S(n);
  r.Align();
  int count = static_cast<int>(r.U(8));
  for (int i = 0; i < count; ++i) {
    int type = static_cast<int>(r.U(8));
    if (type == 0) {
      f.solid = static_cast<int64_t>(r.U(24));
    } else {
      uint32_t lo = r.U(8), hi = r.U(8);
      f.fillBitmapIds.push_back(static_cast<int>(lo | hi << 8));
      if (r.U(1)) {  // scale
        int k = static_cast<int>(r.U(5));
        r.U(2 * k);
      }
      if (r.U(1)) {  // rotate
        int k = static_cast<int>(r.U(5));
        r.U(2 * k);
      }
      int k = static_cast<int>(r.U(5));
      r.U(2 * k);
      r.Align();
    }
  }
  return f;
}

// Fields of one tag that the test-side reader can see, against the expectation.
std::string CompareFields(const SwfTag& t, const ExpectedTag& e) {
  char buf[160];
  if (t.code == kDefineBitsLossless || t.code == kDefineBitsLossless2) {
    int width = t.U16(3), height = t.U16(5), colours = t.body.size() > 7 ? t.body[7] + 1 : 0;
    if ((e.width && *e.width != width) || (e.height && *e.height != height) || (e.colours && *e.colours != colours)) {
      std::snprintf(buf, sizeof buf, "bitmap %d is %dx%d with %d colours, want %dx%d with %d", t.U16(0), width, height,
                    colours, e.width.value_or(-1), e.height.value_or(-1), e.colours.value_or(-1));
      return buf;
    }
    if (e.bitmapData && BitmapData(t) != *e.bitmapData) return "bitmap " + std::to_string(t.U16(0)) + " data differs";
  } else if (t.code == kDefineShape) {
    ShapeFacts f = ReadShape(t);
    if (e.bounds && (e.bounds->xmin != f.bounds.xmin || e.bounds->ymin != f.bounds.ymin ||
                     e.bounds->xmax != f.bounds.xmax || e.bounds->ymax != f.bounds.ymax)) {
      std::snprintf(buf, sizeof buf, "shape %d bounds %d,%d-%d,%d, want %d,%d-%d,%d", t.U16(0), f.bounds.xmin,
                    f.bounds.ymin, f.bounds.xmax, f.bounds.ymax, e.bounds->xmin, e.bounds->ymin, e.bounds->xmax,
                    e.bounds->ymax);
      return buf;
    }
    if (e.fillBitmapIds && *e.fillBitmapIds != f.fillBitmapIds)
      return "shape " + std::to_string(t.U16(0)) + " fills other bitmaps";
    if (e.solidColour && static_cast<int64_t>(*e.solidColour) != f.solid)
      return "shape " + std::to_string(t.U16(0)) + " has another solid colour";
  }
  return "";
}

}  // namespace

std::string Describe(const ExpectedMovie& m) {
  std::string out;
  char buf[64];
  for (size_t i = 0; i < m.tags.size(); ++i) {
    const ExpectedTag& t = m.tags[i];
    const int id = t.characterId.value_or(0);
    const int depth = t.depth.value_or(0);
    std::string item;
    switch (t.code) {
      case tag_code::kShowFrame: {
        size_t j = i;
        while (j + 1 < m.tags.size() && m.tags[j + 1].code == tag_code::kShowFrame) ++j;
        item = j > i ? "show*" + std::to_string(j - i + 1) : "show";
        i = j;
        break;
      }
      case tag_code::kDefineShape: item = "shape:" + std::to_string(id); break;
      case tag_code::kDefineBitsLossless: item = "bits:" + std::to_string(id); break;
      case tag_code::kDefineBitsLossless2: item = "bits2:" + std::to_string(id); break;
      case tag_code::kPlaceObject2: item = "place:" + std::to_string(depth) + "/" + std::to_string(id); break;
      case tag_code::kRemoveObject: item = "remove:" + std::to_string(id) + "/" + std::to_string(depth); break;
      case tag_code::kSetBackgroundColor:
        std::snprintf(buf, sizeof buf, "bg:%06X", static_cast<unsigned>(t.colour.value_or(0)));
        item = buf;
        break;
      case tag_code::kProtect: item = "protect"; break;
      case tag_code::kDefineButton2: item = "button:" + std::to_string(id); break;
      case tag_code::kDoAction: item = ScriptName(t); break;
      default: item = "tag" + std::to_string(t.code);
    }
    if (!out.empty()) out += ' ';
    out += item;
  }
  return out;
}

::testing::AssertionResult MatchesExpectation(const Conversion& c, const ExpectedMovie& expected) {
  WriteExpectation(c.moviePath, expected);
  if (c.result.status != ConversionStatus::kConverted)
    return ::testing::AssertionFailure() << "ConvertFile returned status " << static_cast<int>(c.result.status)
                                         << " for " << c.result.path << ": " << c.result.reason;
  if (!c.movie.ok) return ::testing::AssertionFailure() << c.moviePath << " is no well-formed movie";
  std::string want = Describe(expected);
  want += want.empty() ? "end" : " end";
  std::string got = DescribeTags(c.movie);
  if (got != want) return ::testing::AssertionFailure() << "tags\n  got:  " << got << "\n  want: " << want;
  // The same sequence: movie tag i answers to expected tag i.
  for (size_t i = 0; i < expected.tags.size() && i < c.movie.tags.size(); ++i) {
    std::string problem = CompareFields(c.movie.tags[i], expected.tags[i]);
    if (!problem.empty()) return ::testing::AssertionFailure() << problem;
  }
  if (expected.frameCount && *expected.frameCount != c.movie.frameCount)
    return ::testing::AssertionFailure() << "frame count " << c.movie.frameCount << ", want " << *expected.frameCount;
  if (expected.stageXmaxTwips && *expected.stageXmaxTwips != c.movie.xmax)
    return ::testing::AssertionFailure() << "stage width " << c.movie.xmax << " twips, want " << *expected.stageXmaxTwips;
  if (expected.stageYmaxTwips && *expected.stageYmaxTwips != c.movie.ymax)
    return ::testing::AssertionFailure() << "stage height " << c.movie.ymax << " twips, want "
                                         << *expected.stageYmaxTwips;
  return ::testing::AssertionSuccess();
}

std::vector<uint8_t> Solid(int width, int height, uint8_t value) {
  return std::vector<uint8_t>(static_cast<size_t>(width) * height, value);
}

std::vector<uint8_t> Stripes(int width, int height, int colours) {
  std::vector<uint8_t> v(static_cast<size_t>(width) * height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) v[static_cast<size_t>(y) * width + x] = static_cast<uint8_t>((x + 2 * y) % colours);
  return v;
}

std::vector<gifbuild::Rgb> Palette(int n) {
  std::vector<gifbuild::Rgb> c(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) {
    uint8_t v = static_cast<uint8_t>(i * 255 / (n > 1 ? n - 1 : 1));
    c[static_cast<size_t>(i)] = {v, v, uint8_t(255 - v)};
  }
  return c;
}

uint32_t Rgb24(const gifbuild::Rgb& c) { return static_cast<uint32_t>(c.r) << 16 | c.g << 8 | c.b; }
