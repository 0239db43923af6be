#include "swf_tags.h"

#include <cstdio>

#include "body_capture.h"

namespace {

struct Reader {
  const std::vector<uint8_t>& b;
  size_t pos = 0;
  size_t bit = 0;
  uint32_t Bits(int n) {
    uint32_t v = 0;
    for (int i = 0; i < n; ++i, ++bit) {
      size_t at = bit / 8;
      v = (v << 1) | (at < b.size() ? (b[at] >> (7 - bit % 8)) & 1 : 0);
    }
    return v;
  }
};

}  // namespace

SwfMovie ParseMovie(const std::vector<uint8_t>& b) {
  SwfMovie m;
  if (b.size() < 12 || b[0] != 'F' || b[1] != 'W' || b[2] != 'S') return m;
  m.version = b[3];
  m.fileLength = b[4] | b[5] << 8 | b[6] << 16 | uint32_t(b[7]) << 24;
  Reader r{b, 0, 8 * 8};
  int n = static_cast<int>(r.Bits(5));
  r.Bits(n);  // xmin
  m.xmax = static_cast<int32_t>(r.Bits(n));
  r.Bits(n);  // ymin
  m.ymax = static_cast<int32_t>(r.Bits(n));
  size_t pos = (r.bit + 7) / 8;
  if (pos + 4 > b.size()) return m;
  m.frameRate = b[pos + 1];
  m.frameCount = b[pos + 2] | b[pos + 3] << 8;
  pos += 4;
  while (pos + 2 <= b.size()) {
    uint16_t head = static_cast<uint16_t>(b[pos] | b[pos + 1] << 8);
    pos += 2;
    SwfTag t;
    t.code = head >> 6;
    size_t len = head & 0x3F;
    if (len == 0x3F) {
      if (pos + 4 > b.size()) return m;
      len = b[pos] | b[pos + 1] << 8 | b[pos + 2] << 16 | size_t(b[pos + 3]) << 24;
      pos += 4;
    }
    if (len > b.size() - pos) return m;
    t.body.assign(b.begin() + pos, b.begin() + pos + len);
    pos += len;
    m.tags.push_back(std::move(t));
    if (m.tags.back().code == kEnd) break;
  }
  m.ok = pos == b.size() && m.fileLength == b.size() && !m.tags.empty() && m.tags.back().code == kEnd;
  return m;
}

SwfMovie ParseMovieFile(const std::string& path) { return ParseMovie(ReadFileBytes(path)); }

std::string DescribeTags(const SwfMovie& m) {
  std::string out;
  char buf[64];
  for (size_t i = 0; i < m.tags.size(); ++i) {
    const SwfTag& t = m.tags[i];
    switch (t.code) {
      case kShowFrame: {
        size_t j = i;
        while (j + 1 < m.tags.size() && m.tags[j + 1].code == kShowFrame) ++j;
        if (j > i)
          std::snprintf(buf, sizeof buf, "show*%zu", j - i + 1);
        else
          std::snprintf(buf, sizeof buf, "show");
        i = j;
        break;
      }
      case kEnd: std::snprintf(buf, sizeof buf, "end"); break;
      case kDefineShape: std::snprintf(buf, sizeof buf, "shape:%u", t.U16(0)); break;
      case kDefineBitsLossless: std::snprintf(buf, sizeof buf, "bits:%u", t.U16(0)); break;
      case kDefineBitsLossless2: std::snprintf(buf, sizeof buf, "bits2:%u", t.U16(0)); break;
      case kPlaceObject2: std::snprintf(buf, sizeof buf, "place:%u/%u", t.U16(1), t.U16(3)); break;
      case kRemoveObject: std::snprintf(buf, sizeof buf, "remove:%u/%u", t.U16(0), t.U16(2)); break;
      case kSetBackgroundColor:
        std::snprintf(buf, sizeof buf, "bg:%02X%02X%02X", t.body.size() > 0 ? t.body[0] : 0,
                      t.body.size() > 1 ? t.body[1] : 0, t.body.size() > 2 ? t.body[2] : 0);
        break;
      case kProtect: std::snprintf(buf, sizeof buf, "protect"); break;
      case kDefineButton2: std::snprintf(buf, sizeof buf, "button:%u", t.U16(0)); break;
      case kDoAction:
        if (t.body.size() == 2)
          std::snprintf(buf, sizeof buf, "stop");
        else if (t.body.size() == 17)
          std::snprintf(buf, sizeof buf, "lowquality");
        else if (t.body.size() > 14 && t.body[7] == 0x96 && t.U16(8) >= 2 && t.U16(8) < 14)
          std::snprintf(buf, sizeof buf, "loop:%.*s", static_cast<int>(t.U16(8) - 2),
                        reinterpret_cast<const char*>(t.body.data() + 11));
        else
          std::snprintf(buf, sizeof buf, "action");
        break;
      default: std::snprintf(buf, sizeof buf, "tag%d", t.code);
    }
    if (!out.empty()) out += ' ';
    out += buf;
  }
  return out;
}
