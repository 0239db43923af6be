// Converting test GIFs into the build folder's test-movies/ and comparing the movies with what a
// test expects: the same expectation is checked here with the test-side tag
// reader and written beside the movie for the independent swf-parser check.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "app/conversion_job.h"
#include "support/gif_builder.h"
#include "support/movie_expect.h"
#include "support/progress_recorder.h"
#include "support/swf_tags.h"

struct Conversion {
  ConversionResult result;  // what ConvertFile returned
  std::string gifPath;    // FreshFolder(name)/<name>.gif, or a fixture
  std::string moviePath;  // TestMoviePath(name)
  SwfMovie movie;         // ok is false when no movie was written
  ProgressRecorder progress;  // what the job reported
};

// Saves the GIF in the test's own work folder and converts it to
// TestMoviePath(name). Any movie left from an earlier run is removed first.
Conversion ConvertGif(const gifbuild::GifBuilder& gif, const std::string& name,
                      const ConversionOptions& options = ConversionOptions());
Conversion ConvertGifFile(const std::string& gifPath, const std::string& name,
                          const ConversionOptions& options = ConversionOptions());

// The movie tags of one code, in order; Bitmaps gives both bitmap kinds.
std::vector<const SwfTag*> TagsOf(const SwfMovie& movie, int code);
std::vector<const SwfTag*> Bitmaps(const SwfMovie& movie);
// A bitmap tag's data inflated with zlib: colour table, then the padded rows.
// Empty when the tag is no bitmap or its data does not inflate.
std::vector<uint8_t> BitmapData(const SwfTag& tag);
struct BitmapParts {
  std::vector<uint8_t> table, rows;
};
BitmapParts SplitBitmapData(const SwfTag& tag);

// Frame scripts, in the form of the expectation and of DescribeTags.
ExpectedTag ExpectStop();
ExpectedTag ExpectLoopLimit(unsigned n);
ExpectedTag ExpectQualitySwitch();
// The bitmap, shape and placement of one frame whose bitmap has id `id`,
// lies at (left, top) and is width x height pixels.
void ExpectFrame(ExpectedMovie& m, int id, int left, int top, int width, int height, int colours, bool alpha);
void ExpectShows(ExpectedMovie& m, int n);

// The expected tags as DescribeTags writes them, without the final "end".
std::string Describe(const ExpectedMovie& m);

// The movie parses, its tags read as Describe(expected) followed by "end",
// and the header fields that are set agree. The expectation file is written
// beside the movie either way.
::testing::AssertionResult MatchesExpectation(const Conversion& c, const ExpectedMovie& expected);

// Screen-sized pixel helpers: width * height values, top row first.
std::vector<uint8_t> Solid(int width, int height, uint8_t value);
std::vector<uint8_t> Stripes(int width, int height, int colours);
// n distinct colours.
std::vector<gifbuild::Rgb> Palette(int n);
uint32_t Rgb24(const gifbuild::Rgb& c);
