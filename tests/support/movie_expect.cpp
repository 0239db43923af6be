#include "movie_expect.h"

#include <cstdio>

#include "temp_folder.h"

ExpectedTag& ExpectedMovie::Add(int code) {
  ExpectedTag t;
  t.code = code;
  tags.push_back(t);
  return tags.back();
}

void ExpectedMovie::AddCodes(std::initializer_list<int> codes) {
  for (int c : codes) Add(c);
}

void ExpectedMovie::AddCodes(const std::vector<int>& codes) {
  for (int c : codes) Add(c);
}

namespace {

ExpectedTag WithCode(int code) {
  ExpectedTag t;
  t.code = code;
  return t;
}

std::string Quoted(const std::string& s) {
  return "\"" + s + "\"";
}

}  // namespace

ExpectedTag ExpectShowFrame() { return WithCode(tag_code::kShowFrame); }
ExpectedTag ExpectProtect() { return WithCode(tag_code::kProtect); }

ExpectedTag ExpectBackground(uint32_t rgb) {
  ExpectedTag t = WithCode(tag_code::kSetBackgroundColor);
  t.colour = rgb;
  return t;
}

ExpectedTag ExpectPlace(int depth, int characterId) {
  ExpectedTag t = WithCode(tag_code::kPlaceObject2);
  t.depth = depth;
  t.characterId = characterId;
  return t;
}

ExpectedTag ExpectRemove(int characterId, int depth) {
  ExpectedTag t = WithCode(tag_code::kRemoveObject);
  t.characterId = characterId;
  t.depth = depth;
  return t;
}

ExpectedTag ExpectBitmap(int id, int width, int height, int colours, bool alpha) {
  ExpectedTag t = WithCode(alpha ? tag_code::kDefineBitsLossless2 : tag_code::kDefineBitsLossless);
  t.characterId = id;
  t.width = width;
  t.height = height;
  t.colours = colours;
  t.alpha = alpha;
  return t;
}

ExpectedTag ExpectBitmapShape(int id, TwipRect bounds, std::vector<int> fillBitmapIds) {
  ExpectedTag t = WithCode(tag_code::kDefineShape);
  t.characterId = id;
  t.bounds = bounds;
  t.fillBitmapIds = std::move(fillBitmapIds);
  return t;
}

ExpectedTag ExpectSolidShape(int id, TwipRect bounds, uint32_t rgb) {
  ExpectedTag t = WithCode(tag_code::kDefineShape);
  t.characterId = id;
  t.bounds = bounds;
  t.solidColour = rgb;
  return t;
}

ExpectedTag ExpectScript(std::vector<std::string> actions) {
  ExpectedTag t = WithCode(tag_code::kDoAction);
  t.actions = std::move(actions);
  return t;
}

ExpectedTag ExpectLinkButton(int id, const std::string& url, int hitCharacterId, int hitDepth) {
  ExpectedTag t = WithCode(tag_code::kDefineButton2);
  t.characterId = id;
  t.url = url;
  t.hitCharacterId = hitCharacterId;
  t.hitDepth = hitDepth;
  return t;
}

std::vector<std::string> StopActions() { return {"Stop"}; }

std::vector<std::string> QualitySwitchActions() {
  // Set property 16 (_highquality) of the movie's own timeline to 0.
  return {"Push \"\" 16 0", "SetProperty"};
}

std::vector<std::string> LoopLimitActions(unsigned n) {
  const std::string a = Quoted("a");
  return {"Push " + a, "GetVariable", "Push " + Quoted(std::to_string(n)), "Less", "Not", "Not",
          "If 1",      "Stop",        "Push " + a,                          "Push " + a, "GetVariable",
          "Push " + Quoted("1"),      "Add",                                "SetVariable"};
}

std::string TestMoviePath(const std::string& name) { return TestOutputFolder() + "/" + name + ".swf"; }

std::string ExpectationPath(const std::string& moviePath) {
  std::string base = moviePath;
  const std::string ext = ".swf";
  if (base.size() >= ext.size() && base.compare(base.size() - ext.size(), ext.size(), ext) == 0) {
    base.resize(base.size() - ext.size());
  }
  return base + ".expect.json";
}

namespace {

// A small JSON writer: objects of numbers, strings, booleans and arrays,
// enough for expectation files.
class Json {
 public:
  void Open() {
    Sep();
    out_ += '{';
    first_ = true;
  }
  void Close() {
    out_ += '}';
    first_ = false;
  }
  void Key(const char* k) {
    Sep();
    Quote(k);
    out_ += ':';
    first_ = true;  // the value follows without a comma
  }
  void Number(long long v) {
    Sep();
    out_ += std::to_string(v);
  }
  void Bool(bool v) {
    Sep();
    out_ += v ? "true" : "false";
  }
  void String(const std::string& s) {
    Sep();
    Quote(s);
  }
  void Hex(const uint8_t* p, size_t n) {
    static const char digits[] = "0123456789abcdef";
    std::string s;
    s.reserve(n * 2);
    for (size_t i = 0; i < n; ++i) {
      s += digits[p[i] >> 4];
      s += digits[p[i] & 15];
    }
    String(s);
  }
  void Rgb(uint32_t rgb) {
    const uint8_t b[3] = {static_cast<uint8_t>(rgb >> 16), static_cast<uint8_t>(rgb >> 8),
                          static_cast<uint8_t>(rgb)};
    Hex(b, 3);
  }
  void BeginArray() {
    Sep();
    out_ += '[';
    first_ = true;
  }
  void EndArray() {
    out_ += ']';
    first_ = false;
  }
  // Starts the next array element on a new line.
  void NextOnNewLine() {
    Sep();
    out_ += '\n';
    first_ = true;
  }
  const std::string& text() const { return out_; }

 private:
  void Quote(const std::string& s) {
    out_ += '"';
    for (unsigned char c : s) {
      if (c == '"' || c == '\\') {
        out_ += '\\';
        out_ += static_cast<char>(c);
      } else if (c < 0x20) {
        char buf[8];
        std::snprintf(buf, sizeof buf, "\\u%04x", c);
        out_ += buf;
      } else {
        out_ += static_cast<char>(c);
      }
    }
    out_ += '"';
  }
  void Sep() {
    if (!first_) out_ += ',';
    first_ = false;
  }
  std::string out_;
  bool first_ = true;
};

void WriteTag(Json& j, const ExpectedTag& t) {
  j.Open();
  j.Key("code");
  j.Number(t.code);
  auto num = [&j](const char* key, const std::optional<int>& v) {
    if (v) {
      j.Key(key);
      j.Number(*v);
    }
  };
  num("id", t.characterId);
  num("depth", t.depth);
  num("width", t.width);
  num("height", t.height);
  num("colours", t.colours);
  if (t.alpha) {
    j.Key("alpha");
    j.Bool(*t.alpha);
  }
  if (t.bitmapData) {
    j.Key("dataHex");
    j.Hex(t.bitmapData->data(), t.bitmapData->size());
  }
  if (t.bitmapDataLength) {
    j.Key("dataLength");
    j.Number(*t.bitmapDataLength);
  }
  if (t.bitmapDataCrc32) {
    j.Key("dataCrc32");
    j.Number(*t.bitmapDataCrc32);
  }
  if (t.bounds) {
    j.Key("bounds");
    j.BeginArray();
    j.Number(t.bounds->xmin);
    j.Number(t.bounds->ymin);
    j.Number(t.bounds->xmax);
    j.Number(t.bounds->ymax);
    j.EndArray();
  }
  if (t.fillBitmapIds) {
    j.Key("fillBitmaps");
    j.BeginArray();
    for (int id : *t.fillBitmapIds) j.Number(id);
    j.EndArray();
  }
  if (t.solidColour) {
    j.Key("solidColour");
    j.Rgb(*t.solidColour);
  }
  if (t.actions) {
    j.Key("actions");
    j.BeginArray();
    for (const std::string& a : *t.actions) j.String(a);
    j.EndArray();
  }
  if (t.actionBytes) {
    j.Key("actionsHex");
    j.Hex(t.actionBytes->data(), t.actionBytes->size());
  }
  if (t.url) {
    // As hex: URLs are bytes in whatever code page, not necessarily UTF-8.
    j.Key("urlHex");
    j.Hex(reinterpret_cast<const uint8_t*>(t.url->data()), t.url->size());
  }
  num("hitId", t.hitCharacterId);
  num("hitDepth", t.hitDepth);
  if (t.colour) {
    j.Key("colour");
    j.Rgb(*t.colour);
  }
  j.Close();
}

}  // namespace

std::string ExpectationJson(const ExpectedMovie& movie) {
  Json j;
  j.Open();
  if (movie.frameCount) {
    j.Key("frameCount");
    j.Number(*movie.frameCount);
  }
  if (movie.stageXmaxTwips) {
    j.Key("xmax");
    j.Number(*movie.stageXmaxTwips);
  }
  if (movie.stageYmaxTwips) {
    j.Key("ymax");
    j.Number(*movie.stageYmaxTwips);
  }
  j.Key("tagMatch");
  j.String(movie.match == ExpectedMovie::Match::kExact ? "exact" : "inOrder");
  j.Key("tags");
  j.BeginArray();
  for (const ExpectedTag& t : movie.tags) {
    j.NextOnNewLine();  // one tag a line keeps the file readable
    WriteTag(j, t);
  }
  j.EndArray();
  j.Close();
  return j.text() + "\n";
}

bool WriteExpectation(const std::string& moviePath, const ExpectedMovie& movie) {
  const std::string text = ExpectationJson(movie);
  FILE* f = std::fopen(ExpectationPath(moviePath).c_str(), "wb");
  if (!f) return false;
  const bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
  return std::fclose(f) == 0 && ok;
}
