// From decoded frames to movie tags: frame timing, loop scripts, disposal,
// the link button, the quality switch and the stage size.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "movie/frame_pipeline.h"
#include "support/gif_builder.h"
#include "support/gif_convert.h"
#include "support/temp_folder.h"

using gifbuild::GifBuilder;
using gifbuild::ImageDescriptor;

namespace {

constexpr int kMinStage = 18 * 20;

TEST(FramePipeline, DelaysBecomeRunsOfTenthsOfASecond) {
  const int delays[] = {0, 5, 10, 19, 20, 25, 100};
  const int runs[] = {1, 1, 1, 1, 2, 2, 10};
  GifBuilder gif(6, 6, Palette(4));
  for (int delay : delays) {
    gif.GraphicControl(delay, 0);
    gif.Image(ImageDescriptor{0, 0, 6, 6}, Stripes(6, 6, 4));
  }
  gif.Trailer();
  Conversion c = ConvertGif(gif, "pipeline_delays");
  ExpectedMovie m;
  m.frameCount = 18;
  for (int k = 0; k < 7; ++k) {
    ExpectFrame(m, 2 * k + 1, 0, 0, 6, 6, 4, false);
    if (k == 6) m.Add(ExpectStop());
    ExpectShows(m, runs[k]);
  }
  EXPECT_TRUE(MatchesExpectation(c, m));
  EXPECT_EQ(MovieFramesForDelay(65535), 6553);
}

TEST(FramePipeline, LoopScriptOnTheLastFrame) {
  struct Case {
    const char* name;
    int gifLoop;  // -2: no Netscape extension
    int changeLoop, loopForever, playCount;
    int script;  // -1 stop, 0 none, n loop limit n
  };
  const Case cases[] = {
      {"pipeline_loop_gif_none", -2, 0, 0, 0, -1},
      {"pipeline_loop_gif_forever", 0, 0, 0, 0, 0},
      {"pipeline_loop_gif_five", 5, 0, 0, 0, 5},
      {"pipeline_loop_gif_max", 65535, 0, 0, 0, 65535},
      {"pipeline_loop_user_forever", -2, 1, 1, 0, 0},
      {"pipeline_loop_user_three", 0, 1, 0, 3, 2},
      {"pipeline_loop_user_one", 0, 1, 0, 1, -1},
      {"pipeline_loop_user_zero", 5, 1, 0, 0, -1},
      {"pipeline_loop_user_negative", -2, 1, 0, -4, -1},
      {"pipeline_loop_user_max", -2, 1, 0, 65535, 65534},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    GifBuilder gif(6, 6, Palette(2));
    if (k.gifLoop != -2) gif.NetscapeLoop(k.gifLoop);
    gif.Image(ImageDescriptor{0, 0, 6, 6}, Stripes(6, 6, 2));
    gif.GraphicControl(30, 0);
    gif.Image(ImageDescriptor{1, 1, 4, 4}, Stripes(4, 4, 2));
    gif.Trailer();
    ConversionOptions o;
    o.changeLoop = k.changeLoop;
    o.loopForever = k.loopForever;
    o.playCount = k.playCount;
    Conversion c = ConvertGif(gif, k.name, o);
    ExpectedMovie m;
    m.frameCount = 4;
    ExpectFrame(m, 1, 0, 0, 6, 6, 2, false);
    ExpectShows(m, 1);
    ExpectFrame(m, 3, 1, 1, 4, 4, 2, false);
    if (k.script == -1) m.Add(ExpectStop());
    if (k.script > 0) m.Add(ExpectLoopLimit(static_cast<unsigned>(k.script)));
    ExpectShows(m, 3);
    EXPECT_TRUE(MatchesExpectation(c, m));
  }

  // A single frame without a looping extension: stop on it.
  GifBuilder one(6, 6, Palette(2));
  one.GraphicControl(45, 0);
  one.Image(ImageDescriptor{0, 0, 6, 6}, Stripes(6, 6, 2));
  one.Trailer();
  Conversion c = ConvertGif(one, "pipeline_loop_single_frame");
  ExpectedMovie m;
  m.frameCount = 4;
  ExpectFrame(m, 1, 0, 0, 6, 6, 2, false);
  m.Add(ExpectStop());
  ExpectShows(m, 4);
  EXPECT_TRUE(MatchesExpectation(c, m));
}

TEST(FramePipeline, RestoreToPreviousRemovesTheFrame) {
  GifBuilder gif(8, 8, Palette(4));
  gif.GraphicControl(10, 0);
  gif.Image(ImageDescriptor{0, 0, 8, 8}, Stripes(8, 8, 4));
  gif.GraphicControl(20, 3);
  gif.Image(ImageDescriptor{2, 2, 4, 4}, Stripes(4, 4, 4));
  gif.GraphicControl(10, 1);
  gif.Image(ImageDescriptor{3, 3, 2, 2}, Stripes(2, 2, 4));
  gif.Trailer();
  Conversion c = ConvertGif(gif, "pipeline_dispose_previous");
  ExpectedMovie m;
  m.frameCount = 4;
  ExpectFrame(m, 1, 0, 0, 8, 8, 4, false);
  ExpectShows(m, 1);
  ExpectFrame(m, 3, 2, 2, 4, 4, 4, false);
  ExpectShows(m, 2);
  m.Add(ExpectRemove(4, 3));
  ExpectFrame(m, 5, 3, 3, 2, 2, 4, false);
  m.Add(ExpectStop());
  ExpectShows(m, 1);
  EXPECT_TRUE(MatchesExpectation(c, m));
}

TEST(FramePipeline, RestoreToBackgroundCoversTheFrame) {
  const std::vector<gifbuild::Rgb> table = {{0, 0, 0}, {0xAB, 0xCD, 0xEF}, {1, 2, 3}, {4, 5, 6}};
  for (int background = 0; background < 2; ++background) {
    SCOPED_TRACE(background);
    GifBuilder gif(10, 8, table, 1);
    gif.GraphicControl(20, 2);
    gif.Image(ImageDescriptor{2, 1, 5, 4}, Stripes(5, 4, 4));
    gif.GraphicControl(10, 2);  // on the last frame too
    gif.Image(ImageDescriptor{0, 0, 10, 8}, Stripes(10, 8, 4));
    gif.Trailer();
    ConversionOptions o;
    o.useGifBackground = background;
    Conversion c = ConvertGif(gif, background ? "pipeline_dispose_background_gif" : "pipeline_dispose_background_white", o);
    const uint32_t colour = background ? 0xABCDEF : 0xFFFFFF;
    ExpectedMovie m;
    m.frameCount = 3;
    if (background) m.Add(ExpectBackground(colour));
    ExpectFrame(m, 1, 2, 1, 5, 4, 4, false);
    ExpectShows(m, 2);
    m.Add(ExpectSolidShape(4, TwipRect{40, 20, 140, 100}, colour));
    m.Add(ExpectPlace(3, 4));
    ExpectFrame(m, 5, 0, 0, 10, 8, 4, false);
    m.Add(ExpectStop());
    ExpectShows(m, 1);
    m.Add(ExpectSolidShape(8, TwipRect{0, 0, 200, 160}, colour));
    m.Add(ExpectPlace(7, 8));
    EXPECT_TRUE(MatchesExpectation(c, m));
  }
}

TEST(FramePipeline, LinkButtonOverTheFirstFrame) {
  struct Case {
    const char* name;
    bool hasLink;
    std::string url;
    int firstDisposal;
  };
  const Case cases[] = {
      {"pipeline_link", true, "http://example.com/a?b=1&c=%20", 0},
      {"pipeline_link_empty", true, "", 0},
      {"pipeline_link_off", false, "http://example.com/", 0},
      {"pipeline_link_dispose_background", true, "http://example.com/", 2},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    GifBuilder gif(8, 8, Palette(4));
    gif.GraphicControl(0, k.firstDisposal);
    gif.Image(ImageDescriptor{0, 0, 8, 8}, Stripes(8, 8, 4));
    gif.Image(ImageDescriptor{1, 2, 3, 4}, Stripes(3, 4, 4));
    gif.Trailer();
    ConversionOptions o;
    o.useLinkUrl = k.hasLink;
    o.linkUrl = k.url;
    Conversion c = ConvertGif(gif, k.name, o);
    ExpectedMovie m;
    m.frameCount = 2;
    ExpectFrame(m, 1, 0, 0, 8, 8, 4, false);
    if (k.hasLink) {
      m.Add(ExpectLinkButton(3, k.url, 2, 1));
      m.Add(ExpectPlace(2, 3));
    }
    ExpectShows(m, 1);
    if (k.firstDisposal == 2) {
      m.Add(ExpectSolidShape(4, TwipRect{0, 0, 160, 160}, 0xFFFFFF));
      m.Add(ExpectPlace(3, 4));
    }
    const int second = k.hasLink || k.firstDisposal == 2 ? 5 : 3;
    ExpectFrame(m, second, 1, 2, 3, 4, 4, false);
    m.Add(ExpectStop());
    ExpectShows(m, 1);
    EXPECT_TRUE(MatchesExpectation(c, m));
  }
}

// The twelfth object placed while eleven are counted visible switches to
// low quality, once per movie.
TEST(FramePipeline, QualitySwitchAfterElevenVisibleObjects) {
  struct Case {
    const char* name;
    int disposal;
    bool link;
    int switchAfterFrame;  // 0: never
  };
  const Case cases[] = {
      {"pipeline_quality_keep", 1, false, 12},
      {"pipeline_quality_link", 1, true, 11},
      {"pipeline_quality_remove", 3, false, 0},
      {"pipeline_quality_background", 2, false, 0},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    GifBuilder gif(4, 4, Palette(2));
    for (int f = 0; f < 14; ++f) {
      gif.GraphicControl(10, k.disposal);
      gif.Image(ImageDescriptor{0, 0, 4, 4}, Stripes(4, 4, 2));
    }
    gif.Trailer();
    ConversionOptions o;
    o.useLinkUrl = k.link;
    o.linkUrl = "http://q/";
    Conversion c = ConvertGif(gif, k.name, o);
    ExpectedMovie m;
    m.frameCount = 14;
    int id = 1;
    for (int f = 1; f <= 14; ++f) {
      ExpectFrame(m, id, 0, 0, 4, 4, 2, false);
      if (f == k.switchAfterFrame) m.Add(ExpectQualitySwitch());
      if (f == 1 && k.link) {
        m.Add(ExpectLinkButton(3, "http://q/", 2, 1));
        m.Add(ExpectPlace(2, 3));
      }
      if (f == 14) m.Add(ExpectStop());
      ExpectShows(m, 1);
      if (k.disposal == 3) m.Add(ExpectRemove(id + 1, id));
      if (k.disposal == 2) {
        m.Add(ExpectSolidShape(id + 3, TwipRect{0, 0, 80, 80}, 0xFFFFFF));
        m.Add(ExpectPlace(id + 2, id + 3));
        id += 2;
      }
      id += (f == 1 && k.link) ? 4 : 2;
    }
    EXPECT_TRUE(MatchesExpectation(c, m));
  }
}

TEST(FramePipeline, StageCoversEveryFrameAndIsAtLeast18) {
  GifBuilder small(4, 4, Palette(2));
  small.Image(ImageDescriptor{0, 0, 4, 4}, Stripes(4, 4, 2));
  small.Trailer();
  Conversion s = ConvertGif(small, "pipeline_stage_small");
  ExpectedMovie sm;
  sm.stageXmaxTwips = kMinStage;
  sm.stageYmaxTwips = kMinStage;
  ExpectFrame(sm, 1, 0, 0, 4, 4, 2, false);
  sm.Add(ExpectStop());
  ExpectShows(sm, 1);
  EXPECT_TRUE(MatchesExpectation(s, sm));

  GifBuilder gif(200, 50, Palette(4));
  gif.Image(ImageDescriptor{100, 0, 30, 5}, Stripes(30, 5, 4));
  gif.Image(ImageDescriptor{10, 3, 20, 40}, Stripes(20, 40, 4));
  gif.Image(ImageDescriptor{0, 0, 8, 8}, Stripes(8, 8, 4));
  gif.Trailer();
  Conversion c = ConvertGif(gif, "pipeline_stage_extent");
  ExpectedMovie m;
  m.stageXmaxTwips = 130 * 20;
  m.stageYmaxTwips = 43 * 20;
  ExpectFrame(m, 1, 100, 0, 30, 5, 4, false);
  ExpectShows(m, 1);
  ExpectFrame(m, 3, 10, 3, 20, 40, 4, false);
  ExpectShows(m, 1);
  ExpectFrame(m, 5, 0, 0, 8, 8, 4, false);
  m.Add(ExpectStop());
  ExpectShows(m, 1);
  EXPECT_TRUE(MatchesExpectation(c, m));
}

// 4000 pixels are 80000 twips, more than one shape edge can span.
TEST(FramePipeline, FrameWiderThanOneShapeEdge) {
  GifBuilder gif(4000, 2, Palette(4));
  gif.Image(ImageDescriptor{0, 0, 4000, 2}, Stripes(4000, 2, 4));
  gif.GraphicControl(0, 2);
  gif.Image(ImageDescriptor{500, 1, 3500, 1}, Stripes(3500, 1, 4));
  gif.Trailer();
  std::string gifPath = FreshFolder("pipeline_wide_frame") + "/wide.gif";
  ASSERT_TRUE(gif.Save(gifPath));
  Conversion c = ConvertGifFile(gifPath, "pipeline_wide_frame");
  ExpectedMovie m;
  m.stageXmaxTwips = 80000;
  m.stageYmaxTwips = kMinStage;
  ExpectFrame(m, 1, 0, 0, 4000, 2, 4, false);
  ExpectShows(m, 1);
  ExpectFrame(m, 3, 500, 1, 3500, 1, 4, false);
  m.Add(ExpectStop());
  ExpectShows(m, 1);
  m.Add(ExpectSolidShape(6, TwipRect{10000, 20, 80000, 40}, 0xFFFFFF));
  m.Add(ExpectPlace(5, 6));
  EXPECT_TRUE(MatchesExpectation(c, m));
}

}  // namespace
