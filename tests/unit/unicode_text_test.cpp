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
  const char* const lacking[] = {u8"schön.swf", u8"사진.swf", u8"猫와.swf", u8"😀.swf", "\xC3(.swf", "\xED\xA0\x80.swf"};
  for (const char* name : lacking) EXPECT_FALSE(Gb2312FromUtf8(name, gb)) << name;
}

// Kept out of the test macros, which quote their arguments as GB2312 text.
const std::string kHangul = u8"사진 모음.gif", kEmoji = u8"😀.gif", kEmojiStem = u8"😀.", kLastEmoji = u8"a😀";

TEST(UnicodeText, LengthsAndLastCharacters) {
  EXPECT_EQ(Utf16Length(kHangul), 9u);
  EXPECT_EQ(Utf16Length(kEmoji), 6u);  // the emoji takes two units
  EXPECT_EQ(Utf16Length("a\xFF\xC3"), 3u);  // broken bytes one each
  EXPECT_EQ(kEmoji.substr(0, LastCharactersStart(kEmoji, 3)), kEmojiStem);
  EXPECT_EQ(LastCharactersStart(kLastEmoji, 1), 1u);
  EXPECT_EQ(LastCharactersStart(u8"ab", 3), 0u);
  EXPECT_EQ(LastCharactersStart("ab\x80", 1), 2u);  // a stray continuation byte is one character
}

}  // namespace
