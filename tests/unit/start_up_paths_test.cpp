// The paths of a start-up text as Explorer, Send To, a drop on the icon and
// the context menu write them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/start_up_paths.h"

namespace {

using Paths = std::vector<std::string>;

TEST(StartUpPaths, QuotesBlanksAndSeveralFiles) {
  // One path, with or without quotes, blanks inside kept.
  EXPECT_EQ(StartUpPaths("\"C:\\My Pics\\a b.gif\""), Paths{"C:\\My Pics\\a b.gif"});
  EXPECT_EQ(StartUpPaths("C:\\My Pics\\a b.gif  "), Paths{"C:\\My Pics\\a b.gif"});
  EXPECT_EQ(StartUpPaths("cat.gif"), Paths{"cat.gif"});
  // Two files dropped on the icon: only the one with a blank is quoted.
  EXPECT_EQ(StartUpPaths("\"C:\\My Pics\\a b.gif\" C:\\c.gif"),
            (Paths{"C:\\My Pics\\a b.gif", "C:\\c.gif"}));
  // Unquoted absolute paths and shares each start a new path.
  EXPECT_EQ(StartUpPaths("C:\\a.gif D:\\x y\\b.gif \\\\server\\share\\c.gif"),
            (Paths{"C:\\a.gif", "D:\\x y\\b.gif", "\\\\server\\share\\c.gif"}));
  // Empty quotes and blanks alone name nothing; an unclosed quote runs to the end.
  EXPECT_EQ(StartUpPaths("\"\"  \t"), Paths{});
  EXPECT_EQ(StartUpPaths(""), Paths{});
  EXPECT_EQ(StartUpPaths("\"C:\\a b.gif"), Paths{"C:\\a b.gif"});
  // Double-byte names (GBK bytes, one with a trail byte 0x5C) pass unchanged.
  const std::string gbk = "C:\\\x81\x5C\\\xB1\xED.gif";
  EXPECT_EQ(StartUpPaths("\"" + gbk + "\" " + gbk), (Paths{gbk, gbk}));

  // Twenty files, as many as a selection gives, in their order.
  std::string text;
  Paths twenty;
  for (int i = 0; i < 20; ++i) {
    twenty.push_back("C:\\Pics " + std::to_string(i) + "\\f.gif");
    text += (i % 2 ? "\"" + twenty.back() + "\"" : twenty.back()) + " ";
  }
  EXPECT_EQ(StartUpPaths(text), twenty);

  // The wide text of the command line splits the same way.
  // (Outside the macro, whose text of its arguments is GBK.)
  const std::wstring hangul = L"C:\\사진 a.gif";
  const std::vector<std::wstring> wide = {hangul, L"C:\\b.gif"};
  EXPECT_EQ(StartUpPaths(L"\"" + hangul + L"\" C:\\b.gif"), wide);
}

TEST(StartUpPaths, QuietCommandTakesSeveralPaths) {
  std::string rest;
  ASSERT_TRUE(QuietCommandRest("-quite \"C:\\a b.gif\" C:\\c.gif", rest));
  EXPECT_EQ(StartUpPaths(rest), (Paths{"C:\\a b.gif", "C:\\c.gif"}));
  EXPECT_FALSE(QuietCommandRest("-QUITE C:\\a.gif", rest));  // a file path, not the command
  EXPECT_FALSE(QuietCommandRest("C:\\-quite.gif", rest));
}

}  // namespace
