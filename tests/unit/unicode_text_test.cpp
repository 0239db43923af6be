// The text conversions against fixed bytes, on Linux (iconv) and under Wine
// (the system's code page tables) alike.
#include <gtest/gtest.h>

#include <string>

#include "platform/wide_text.h"

namespace {

// Kept out of the test macros, which quote their arguments as GB2312 text.
const std::string kEmoji = u8"😀.gif", kEmojiStem = u8"😀.";
const char* const kLacking[] = {u8"schön", u8"사진", u8"猫와", u8"😀", "\xC3(", "\xED\xA0\x80"};

TEST(UnicodeText, Gb2312OnlyWhereTheCodePageHoldsItAndNamesCutAtCharacters) {
  std::string gb;
  ASSERT_TRUE(Gb2312FromUtf8(u8"猫 ü.swf", gb));
  EXPECT_EQ(gb, "\xC3\xA8 \xA8\xB9.swf");
  for (const char* name : kLacking) EXPECT_FALSE(Gb2312FromUtf8(name, gb)) << name;  // no look-alike
  EXPECT_EQ(kEmoji.substr(0, LastCharactersStart(kEmoji, 3)), kEmojiStem);
  EXPECT_EQ(LastCharactersStart("ab\x80", 1), 2u);  // a stray byte is a character of its own
  EXPECT_EQ(Utf16Length(kEmoji), 6u);               // the emoji takes two units
}

}  // namespace
