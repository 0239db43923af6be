// GIF files made by other programs: animations that ImageMagick and ffmpeg
// make at test time, and the GIFs that Debian packages put under
// /usr/share/doc. Each movie is compared with what a separate walk over the
// GIF's blocks predicts, and checked by the swf-parser check.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
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

// Converts a GIF made elsewhere and compares the movie with the prediction.
void CheckRealGif(const std::string& gifPath, const std::string& name, size_t minFrames) {
  Bytes bytes;
  ASSERT_TRUE(gifbuild::ReadFileBytes(gifPath, bytes)) << gifPath;
  GifFacts facts = ReadFacts(bytes);
  ASSERT_TRUE(facts.isGif) << gifPath;
  EXPECT_GE(facts.frames.size(), minFrames) << gifPath;
  Conversion c = ConvertGifFile(gifPath, name);
  EXPECT_TRUE(MatchesExpectation(c, Predict(facts))) << gifPath;
}

#ifndef _WIN32
// Output of a shell command, or empty when it cannot run.
std::string Run(const std::string& command) {
  std::string out;
  FILE* p = popen(command.c_str(), "r");
  if (!p) return out;
  char buf[512];
  size_t got;
  while ((got = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, got);
  pclose(p);
  return out;
}

bool HaveImageMagick() { return Run("convert -version 2>/dev/null").find("ImageMagick") != std::string::npos; }
bool HaveFfmpeg() { return Run("ffmpeg -version 2>/dev/null").find("ffmpeg version") != std::string::npos; }

// Frames as ImageMagick counts them.
size_t IdentifyFrames(const std::string& path) {
  std::string out = Run("identify -format '%p\\n' '" + path + "' 2>/dev/null");
  return static_cast<size_t>(std::count(out.begin(), out.end(), '\n'));
}

struct Made {
  const char* name;
  const char* command;  // {out} stands for the GIF's path
  size_t frames;        // as ImageMagick counts them
  size_t converted;     // frames the movie should hold
};

void MakeAndCheck(const Made& k) {
  SCOPED_TRACE(k.name);
  const std::string out = FreshFolder(k.name) + "/" + k.name + ".gif";
  std::string command = k.command;
  command.replace(command.find("{out}"), 5, "'" + out + "'");
  ASSERT_EQ(std::system(("timeout 120 " + command + " >/dev/null 2>&1").c_str()), 0) << command;
  EXPECT_EQ(IdentifyFrames(out), k.frames);
  Bytes bytes;
  ASSERT_TRUE(gifbuild::ReadFileBytes(out, bytes));
  EXPECT_EQ(ReadFacts(bytes).frames.size(), k.converted);
  CheckRealGif(out, k.name, k.converted);
}
#endif

TEST(RealGif, MadeByImageMagick) {
#ifdef _WIN32
  GTEST_SKIP() << "ImageMagick runs only in the native build";
#else
  if (!HaveImageMagick()) GTEST_SKIP() << "ImageMagick's convert is not installed (scripts/install-deps.sh --all)";
  // "+dither -colors" keeps ImageMagick's colour reduction quick.
  const Made made[] = {
      {"real_im_background",
       "convert -delay 20 -dispose Background rose: \\( rose: -flip \\) \\( rose: -negate \\) +dither -colors 128 "
       "-loop 0 {out}",
       3, 3},
      {"real_im_previous",
       "convert -size 40x30 xc:none -delay 7 -dispose Previous \\( -size 10x10 xc:red -set page +5+5 \\) "
       "\\( -size 10x10 xc:blue -set page +25+15 \\) +dither -colors 4 -loop 3 {out}",
       3, 3},
      {"real_im_optimised",
       "convert -size 60x40 xc:white \\( +clone -fill red -draw 'rectangle 5,5,15,15' \\) "
       "\\( +clone -fill blue -draw 'rectangle 30,20,40,30' \\) -set delay 25 +dither -colors 8 -layers Optimize "
       "-loop 0 {out}",
       3, 3},
      {"real_im_interlaced", "convert -interlace GIF -delay 50 rose: \\( rose: -blur 0x2 \\) +dither -colors 32 {out}",
       2, 2},
      // The turned frame is taller than the screen: the movie ends before it.
      {"real_im_rotated", "convert -delay 20 rose: \\( rose: -rotate 90 \\) rose: +dither -colors 16 {out}", 3, 1},
      {"real_im_many_frames",
       "convert -size 24x24 -delay 3 xc:red xc:orange xc:yellow xc:green xc:cyan xc:blue xc:purple xc:pink "
       "xc:gray xc:black xc:white xc:brown xc:olive +dither -colors 16 {out}",
       13, 13},
  };
  for (const Made& k : made) MakeAndCheck(k);
#endif
}

TEST(RealGif, MadeByFfmpeg) {
#ifdef _WIN32
  GTEST_SKIP() << "ffmpeg runs only in the native build";
#else
  if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed (scripts/install-deps.sh --all)";
  if (!HaveImageMagick()) GTEST_SKIP() << "ImageMagick's identify is not installed (scripts/install-deps.sh --all)";
  const Made made[] = {
      {"real_ff_testsrc", "ffmpeg -v error -y -f lavfi -i testsrc=size=64x48:rate=10:duration=1 {out}", 10, 10},
      {"real_ff_mandelbrot",
       "ffmpeg -v error -y -f lavfi -i mandelbrot=size=80x60:rate=5:end_pts=2 -frames:v 6 -loop -1 {out}", 6, 6},
      {"real_ff_palette",
       "ffmpeg -v error -y -f lavfi -i testsrc2=size=48x32:rate=25:duration=0.6 -filter_complex "
       "'split[a][b];[a]palettegen=max_colors=16[p];[b][p]paletteuse' {out}",
       15, 15},
  };
  for (const Made& k : made) MakeAndCheck(k);
#endif
}

TEST(RealGif, PackagedGifsUnderUsrShareDoc) {
  std::vector<fs::path> found;
  std::error_code ec;
  for (fs::recursive_directory_iterator it("/usr/share/doc", fs::directory_options::skip_permission_denied, ec), end;
       !ec && it != end; it.increment(ec)) {
    std::string ext = it->path().extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (ext == ".gif" && it->is_regular_file(ec)) found.push_back(it->path());
  }
  if (found.empty()) GTEST_SKIP() << "no GIF under /usr/share/doc on this machine";
  std::sort(found.begin(), found.end());
  for (const fs::path& p : found) {
    std::string name = "real_doc_" + p.lexically_relative("/usr/share/doc").string();
    for (char& ch : name)
      if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
    SCOPED_TRACE(p.string());
    CheckRealGif(p.string(), name, 1);
  }
}

}  // namespace
