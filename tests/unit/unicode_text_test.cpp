// The text conversions under the names of any language: GB2312 only where
// code page 936 holds every character, lengths in the units Windows counts,
// and names cut at whole characters. Runs on Linux (iconv) and under Wine
// (the system's code page tables), against the same expected bytes.
#include <gtest/gtest.h>

#include <string>

#include "platform/wide_text.h"

namespace {

TEST(UnicodeText, Gb2312OnlyWhereTheCodePageHoldsTheName) {
  std::string gb;
  ASSERT_TRUE(Gb2312FromUtf8(u8"猫 ü.swf", gb));
  EXPECT_EQ(gb, "\xC3\xA8 \xA8\xB9.swf");
  ASSERT_TRUE(Gb2312FromUtf8("", gb));
  EXPECT_EQ(gb, "");
  // No look-alike: "o" for "ö" would name another file.
  for (const char* lacking : {u8"schön.swf", u8"사진.swf", u8"猫와.swf", u8"😀.swf", "\xC3(.swf", "\xED\xA0\x80.swf"})
    EXPECT_FALSE(Gb2312FromUtf8(lacking, gb)) << lacking;
}

TEST(UnicodeText, LengthsAndLastCharacters) {
  EXPECT_EQ(Utf16Length(u8"사진 모음.gif"), 9u);
  EXPECT_EQ(Utf16Length(u8"😀.gif"), 6u);  // the emoji takes two units
  EXPECT_EQ(Utf16Length("a\xFF\xC3"), 3u);  // broken bytes one each
  const std::string emoji = u8"😀.gif";
  EXPECT_EQ(emoji.substr(0, LastCharactersStart(emoji, 3)), u8"😀.");
  EXPECT_EQ(LastCharactersStart(u8"a😀", 1), 1u);
  EXPECT_EQ(LastCharactersStart(u8"ab", 3), 0u);
  EXPECT_EQ(LastCharactersStart("ab\x80", 1), 2u);  // a stray continuation byte is one character
}

}  // namespace
