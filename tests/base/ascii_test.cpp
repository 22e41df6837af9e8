#include "base/ascii.h"

#include <gtest/gtest.h>

#include <string>

namespace dovrel {
namespace {

TEST(Ascii, FoldsOnlyAsciiLetters) {
  EXPECT_EQ(FoldAsciiCase('A'), 'a');
  EXPECT_EQ(FoldAsciiCase('Z'), 'z');
  EXPECT_EQ(FoldAsciiCase('a'), 'a');
  EXPECT_EQ(FoldAsciiCase('@'), '@');
  EXPECT_EQ(FoldAsciiCase('['), '[');
  EXPECT_EQ(FoldAsciiCase('\xC1'), '\xC1');  // never a byte of the code page's upper half
  EXPECT_EQ(UpperAsciiCase('a'), 'A');
  EXPECT_EQ(UpperAsciiCase('z'), 'Z');
  EXPECT_EQ(UpperAsciiCase('`'), '`');
  EXPECT_EQ(UpperAsciiCase('{'), '{');
  EXPECT_EQ(UpperAsciiCase('\xE1'), '\xE1');
  EXPECT_EQ(UpperAsciiText("get_list-1\xB0\xA1"), "GET_LIST-1\xB0\xA1");
}

TEST(Ascii, ComparesByteByByte) {
  EXPECT_TRUE(EqualIgnoringAsciiCase("Con", "CON"));
  EXPECT_FALSE(EqualIgnoringAsciiCase("CON", "CONS"));
  EXPECT_FALSE(EqualIgnoringAsciiCase(".txt", ".tx\xD4"));
  // Byte by byte, a trail byte folds too: texts whose characters must stay
  // whole use EqualIgnoringCase of base/ansi_text.h.
  EXPECT_TRUE(EqualIgnoringAsciiCase("\x81\x41", "\x81\x61"));
  EXPECT_TRUE(StartsWithIgnoringAsciiCase("File_Size=12", "file_size"));
  EXPECT_FALSE(StartsWithIgnoringAsciiCase("file", "file_size"));
  EXPECT_TRUE(StartsWithIgnoringAsciiCase("", ""));
}

TEST(Ascii, BlanksAreTheSixOfTheCLocale) {
  for (char c : std::string(" \t\n\r\f\v")) EXPECT_TRUE(IsBlank(c)) << static_cast<int>(c);
  for (char c : std::string("a0_\xA0\x1F", 5)) EXPECT_FALSE(IsBlank(c)) << static_cast<int>(c);
  EXPECT_FALSE(IsBlank('\0'));
}

}  // namespace
}  // namespace dovrel
