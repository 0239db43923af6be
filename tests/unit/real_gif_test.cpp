// GIF files made by other people with other programs, committed under
// tests/fixtures/gifs (SOURCES there names where each comes from). Each movie
// is compared with what a separate walk over the GIF's blocks predicts, and
// checked by the swf-parser check.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "support/gif_builder.h"
#include "support/gif_convert.h"
#include "support/temp_folder.h"

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

namespace {

struct FrameFacts {
  int left = 0, top = 0, width = 0, height = 0;
  int delay = 0, disposal = 0;
  std::vector<int> transparent;  // distinct indices, in order
  int tableBits = 0;             // 0: no table in force
};

struct GifFacts {
  bool isGif = false;
  int screenWidth = 0, screenHeight = 0;
  int loopCount = -1;
  bool endedAtOversizedFrame = false;
  std::vector<FrameFacts> frames;
};

// What a GIF says about its frames, read the way decoders read it: blocks by
// their sub-blocks, the trailer and stray bytes passed over.
GifFacts ReadFacts(const Bytes& g) {
  GifFacts f;
  const size_t n = g.size();
  if (n < 13 || g[0] != 'G' || g[1] != 'I' || g[2] != 'F') return f;
  f.isGif = true;
  f.screenWidth = g[6] | g[7] << 8;
  f.screenHeight = g[8] | g[9] << 8;
  const int globalBits = (g[10] & 0x80) ? (g[10] & 7) + 1 : 0;
  size_t at = 13 + (globalBits ? 3u << globalBits : 0u);
  auto skipBlocks = [&] {
    while (at < n && g[at] != 0) at += g[at] + 1u;
    ++at;
  };
  FrameFacts next;
  while (at < n) {
    const uint8_t b = g[at++];
    if (b == 0x21 && at < n) {
      const uint8_t label = g[at++];
      if (label == 0xF9 && at + 4 < n) {
        next.disposal = (g[at + 1] >> 2) & 7;
        next.delay = g[at + 2] | g[at + 3] << 8;
        if ((g[at + 1] & 1) &&
            std::find(next.transparent.begin(), next.transparent.end(), g[at + 4]) == next.transparent.end())
          next.transparent.push_back(g[at + 4]);
        at += 1 + g[at];
      } else if (label == 0xFF && at + 12 < n && g[at] == 11 &&
                 std::string(g.begin() + at + 1, g.begin() + at + 12) == "NETSCAPE2.0") {
        at += 12;
        if (at + 3 < n && g[at] >= 3 && g[at + 1] == 1) f.loopCount = g[at + 2] | g[at + 3] << 8;
      }
      skipBlocks();
    } else if (b == 0x2C && at + 9 <= n) {
      FrameFacts fr = next;
      fr.left = g[at] | g[at + 1] << 8;
      fr.top = g[at + 2] | g[at + 3] << 8;
      fr.width = g[at + 4] | g[at + 5] << 8;
      fr.height = g[at + 6] | g[at + 7] << 8;
      const uint8_t packed = g[at + 8];
      at += 9;
      if (fr.width > f.screenWidth || fr.height > f.screenHeight) {
        f.endedAtOversizedFrame = true;
        break;
      }
      fr.tableBits = globalBits;
      if (packed & 0x80) {
        fr.tableBits = (packed & 7) + 1;
        at += 3u << fr.tableBits;
      }
      f.frames.push_back(fr);
      next = FrameFacts();
      ++at;  // minimum code size
      skipBlocks();
    }
  }
  return f;
}

// The movie the converter should make of it with every option off.
ExpectedMovie Predict(const GifFacts& f) {
  ExpectedMovie m;
  int id = 1, visible = 0, shows = 0;
  bool qualityPending = true;
  int stageWidth = 18, stageHeight = 18;
  auto placed = [&] {
    if (visible < 11)
      ++visible;
    else if (qualityPending) {
      m.Add(ExpectQualitySwitch());
      qualityPending = false;
    }
  };
  for (size_t k = 0; k < f.frames.size(); ++k) {
    const FrameFacts& fr = f.frames[k];
    int colours = 1 << (fr.tableBits ? fr.tableBits : 8);
    for (int t : fr.transparent) colours = std::max(colours, t + 1);
    int left = fr.left, top = fr.top;
    int width = std::min(fr.left + fr.width, f.screenWidth) - fr.left;
    int height = std::min(fr.top + fr.height, f.screenHeight) - fr.top;
    bool alpha = !fr.transparent.empty();
    if (width <= 0 || height <= 0) {
      left = top = 0;
      width = height = 1;
      colours = 2;
      alpha = true;
    }
    stageWidth = std::max(stageWidth, left + width);
    stageHeight = std::max(stageHeight, top + height);
    ExpectFrame(m, id, left, top, width, height, colours, alpha);
    placed();
    if (k + 1 == f.frames.size() && !f.endedAtOversizedFrame) {
      if (f.loopCount < 0) m.Add(ExpectStop());
      if (f.loopCount > 0) m.Add(ExpectLoopLimit(static_cast<unsigned>(f.loopCount)));
    }
    int run = fr.delay == 0 ? 1 : std::max(1, fr.delay / 10);
    ExpectShows(m, run);
    shows += run;
    if (fr.disposal == 3) {
      m.Add(ExpectRemove(id + 1, id));
      if (visible > 0) --visible;
    } else if (fr.disposal == 2) {
      m.Add(ExpectSolidShape(id + 3, TwipRect{left * 20, top * 20, (left + width) * 20, (top + height) * 20}, 0xFFFFFF));
      m.Add(ExpectPlace(id + 2, id + 3));
      if (visible > 0) --visible;
      id += 2;
    }
    id += 2;
  }
  m.frameCount = shows;
  m.stageXmaxTwips = stageWidth * 20;
  m.stageYmaxTwips = stageHeight * 20;
  return m;
}

// The fixtures, each with its frame count and NETSCAPE loop count (-1: no
// loop extension) as giflib reads them, so a walk that misreads a GIF cannot
// hide behind its own prediction.
struct Fixture {
  const char* file;
  size_t frames;
  int loopCount;
};

const Fixture kFixtures[] = {
    {"apache_pb.gif", 1, -1},           {"congruity_throbber.gif", 12, 0},
    {"dokuwiki_throbber.gif", 6, 0},    {"gdk_pixbuf_test_animation.gif", 10, 0},
    {"gif_suite_high_color.gif", 4, -1}, {"gifwrap_count_loop3.gif", 4, 3},
    {"gnunet_error.gif", 19, 99},       {"httrack_bg_rings.gif", 1, -1},
    {"luma_clock.gif", 60, 0},          {"mrtg_m.gif", 6, 0},
    {"mrtg_msie.gif", 21, 1000},        {"mrtg_msprod.gif", 17, 0},
    {"ntpsec_peer.gif", 1, -1},         {"qip_af.gif", 23, 0},
    {"xmahjongg_small.gif", 45, 0},     {"yahoo_moneyeyes.gif", 10, 3},
};

TEST(RealGif, FixturesMadeByOtherPrograms) {
  const fs::path folder = fs::path(TERVANO_SOURCE_DIR) / "tests" / "fixtures" / "gifs";
  // Every GIF of the folder is listed here, so none is left out unseen.
  std::vector<std::string> present, listed;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
    if (it->path().extension() == ".gif") present.push_back(it->path().filename().string());
  for (const Fixture& f : kFixtures) listed.push_back(f.file);
  std::sort(present.begin(), present.end());
  ASSERT_EQ(present, listed) << folder;

  for (const Fixture& f : kFixtures) {
    SCOPED_TRACE(f.file);
    const std::string name = "real_" + fs::path(f.file).stem().string();
    // A copy, so nothing the conversion does can touch the source tree.
    const fs::path gif = fs::path(FreshFolder(name)) / f.file;
    ASSERT_TRUE(fs::copy_file(folder / f.file, gif, ec)) << ec.message();
    Bytes bytes;
    ASSERT_TRUE(gifbuild::ReadFileBytes(gif.string(), bytes));
    GifFacts facts = ReadFacts(bytes);
    ASSERT_TRUE(facts.isGif);
    EXPECT_EQ(facts.frames.size(), f.frames);
    EXPECT_EQ(facts.loopCount, f.loopCount);
    Conversion c = ConvertGifFile(gif.string(), name);
    EXPECT_TRUE(MatchesExpectation(c, Predict(facts)));
  }
}

}  // namespace
