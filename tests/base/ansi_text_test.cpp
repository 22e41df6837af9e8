#include "base/ansi_text.h"

#include <gtest/gtest.h>

namespace dovrel {
namespace {

// "가" is B0 A1 in code page 949; 81 41 is a syllable whose trail byte looks like "A".
TEST(AnsiText, CutsOnCharacterBoundaries) {
  const struct {
    std::string text;
    std::size_t limit;
    std::string cut;
  } cases[] = {
      {"abc", 2, "ab"},
      {"a\xB0\xA1", 2, "a"},
      {"a\xB0\xA1", 3, "a\xB0\xA1"},
      {"\xB0\xA1\xB0\xA1", 3, "\xB0\xA1"},
      {"ab\xB0", 3, "ab\xB0"},  // a lone lead byte at the end counts as one
      {"", 5, ""},
  };
  for (const auto& c : cases) EXPECT_EQ(CutAnsiText(c.text, c.limit, IsCp949LeadByte), c.cut);
}

TEST(AnsiText, IgnoresTheCaseOfLettersButNotOfTrailBytes) {
  const struct {
    std::string a, b;
    bool equal;
  } cases[] = {
      {"C:\\Recv", "c:\\rECV", true},
      {"C:\\\x81\x41", "C:\\\x81\x61", false},  // the trail bytes 'A' and 'a' differ
      {"C:\\\x81\x41", "c:\\\x81\x41", true},
      {"abc", "abcd", false},
  };
  for (const auto& c : cases) EXPECT_EQ(EqualIgnoringCase(c.a, c.b, IsCp949LeadByte), c.equal);
}

TEST(AnsiText, CopiesCutBeforeADoubleByteCharacter) {
  char small[4] = "xxx";
  CopyAnsiText(small, sizeof small, "ab\xB1\xE8");
  EXPECT_STREQ(small, "ab");
  CopyAnsiText(small, sizeof small, nullptr);
  EXPECT_STREQ(small, "");
}

}  // namespace
}  // namespace dovrel
