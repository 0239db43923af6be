// The Linux command line's parser: value forms, usage errors, and what the
// option flags set. What the flags do to movies and to the store, and that
// --help lists what the parser takes, is checked on the real program by
// tests/cli/command_line.sh.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/command_line.h"

namespace {

int Parse(std::vector<const char*> args, CommandLine& c) {
  args.insert(args.begin(), "tervano");
  return ParseCommandLine(static_cast<int>(args.size()), args.data(), c);
}

// "Name=number" or "Name=\"text\"" for every override, in order.
std::string Overrides(const CommandLine& c) {
  std::string s;
  for (const StoredValue& v : c.overrides)
    s += v.name + "=" + (v.isText ? "\"" + v.text + "\"" : std::to_string(v.number)) + " ";
  return s;
}

TEST(CommandLineParser, ValueFormsFilesAndEndOfFlags) {
  CommandLine c;
  ASSERT_EQ(Parse({"-j4", "a.gif", "--output-dir=out/x", "--loop=7", "-q", "-", "--", "--html", "-j"}, c), 1);
  EXPECT_EQ(c.jobs, 4);
  EXPECT_EQ(c.outputDir, "out/x");
  EXPECT_TRUE(c.quiet);
  EXPECT_EQ(c.files, (std::vector<std::string>{"a.gif", "-", "--html", "-j"}));
  EXPECT_EQ(Overrides(c), "OptionChangeLoop=1 OptionLoopForever=0 OptionLoopValue=7 ");

  ASSERT_EQ(Parse({"-o", "d", "--jobs", "2", "--url", "", "b.gif", "--url", "http://x/?a=b c"}, c), 1);
  EXPECT_EQ(c.outputDir, "d");
  EXPECT_EQ(c.jobs, 2);
  EXPECT_EQ(Overrides(c), "OptionURL=1 OptionURLName=\"http://x/?a=b c\" ");
}

TEST(CommandLineParser, UsageErrorsNameTheFlag) {
  struct Case {
    std::vector<const char*> args;
    const char* error;
  };
  const Case cases[] = {
      {{"--bogus", "a.gif"}, "unknown flag --bogus"},
      {{"-x", "a.gif"}, "unknown flag -x"},
      {{"-qv", "a.gif"}, "unknown flag -qv"},
      {{"--quiet=1", "a.gif"}, "--quiet takes no value"},
      {{"a.gif", "--loop"}, "--loop needs a value (N)"},
      {{"a.gif", "-o"}, "-o needs a value (DIR)"},
      {{"--loop", "0", "a.gif"}, "bad value for --loop: '0'"},
      {{"--loop", "65536", "a.gif"}, "bad value for --loop: '65536'"},
      {{"--loop=3x", "a.gif"}, "bad value for --loop: '3x'"},
      {{"-j", "0", "a.gif"}, "bad value for -j: '0'"},
      {{"--jobs=-2", "a.gif"}, "bad value for --jobs: '-2'"},
      {{"-o", "", "a.gif"}, "bad value for -o: ''"},
      {{"--html", "-q"}, "no GIF file given"},
      {{}, "no GIF file given"},
  };
  for (const Case& k : cases) {
    CommandLine c;
    EXPECT_EQ(Parse(k.args, c), 0) << k.error;
    EXPECT_EQ(c.error, k.error);
  }
  // 259 bytes of address fit the store, 260 do not.
  std::string url(259, 'u');
  CommandLine c;
  EXPECT_EQ(Parse({"--url", url.c_str(), "a.gif"}, c), 1);
  url += 'u';
  EXPECT_EQ(Parse({"--url", url.c_str(), "a.gif"}, c), 0);
  // Only the options need no file.
  EXPECT_EQ(Parse({"--border", "--save-options"}, c), 1);
  EXPECT_EQ(Parse({"--show-options"}, c), 1);
  EXPECT_EQ(Parse({"--version"}, c), 1);
}

TEST(CommandLineParser, LaterFlagReplacesEarlierValue) {
  CommandLine c;
  ASSERT_EQ(Parse({"--border", "--loop", "3", "--no-border", "--loop-forever", "--url", "a", "--no-url", "f.gif"}, c), 1);
  EXPECT_EQ(Overrides(c),
            "OptionTransparent=0 OptionChangeLoop=1 OptionLoopForever=1 OptionLoopValue=3 "
            "OptionURL=0 OptionURLName=\"a\" ");
}

}  // namespace
