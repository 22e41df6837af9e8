#include "base/ansi_text.h"

#include <gtest/gtest.h>

#include "control/receive_folder_rules.h"
#include "base/win32/window_placement.h"

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

TEST(CentreOnOwner, CentresAndKeepsInsideTheBound) {
  const Area screen{0, 0, 1280, 1000};
  const struct {
    Area reference;
    int width, height;
    int x, y;
  } cases[] = {
      {{100, 100, 501, 401}, 101, 51, 250, 225},      // (100+501)/2 - 101/2 = 300 - 50
      {{0, 0, 100, 100}, 300, 300, 0, 0},             // would start left of and above the area
      {{1200, 900, 1280, 1000}, 300, 300, 980, 700},  // would stick out right and below
      {screen, 400, 200, 440, 400},
  };
  for (const auto& c : cases) {
    const Point at = CentrePosition(c.reference, screen, c.width, c.height);
    EXPECT_EQ(at.x, c.x);
    EXPECT_EQ(at.y, c.y);
  }
}

TEST(ReceiveFolderRules, AcceptsANonEmptyTextThatFitsTheCallersBuffer) {
  const struct {
    std::size_t textBytes;
    unsigned long reported;
    std::size_t callerSize;
    bool accepted;
  } cases[] = {
      {258, 259, 260, true}, {259, 260, 260, false},
      {0, 1, 260, false},    {259, 259, 260, true},  // written without its zero
      {10, 11, 11, false},   {10, 11, 12, true},
  };
  for (const auto& c : cases) {
    char local[kPathSize] = {};
    for (std::size_t i = 0; i < c.textBytes; ++i) local[i] = 'a';
    EXPECT_EQ(AcceptStoredFolder(local, c.reported, c.callerSize), c.accepted) << c.textBytes;
  }
}

}  // namespace
}  // namespace dovrel
