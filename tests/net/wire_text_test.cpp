#include "net/wire_text.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace dovrel {
namespace {

// "자료.txt" in code page 949.
const std::string kCp949Name = "\xC0\xDA\xB7\xE1.txt";
const std::string kUtf8Name = "자료.txt";

TEST(PlatformWireTextTest, KoreanNameRoundTripsThroughCp949) {
  const WireText& codec = PlatformWireText();
  std::string wire;
  ASSERT_TRUE(codec.FromUtf8(kUtf8Name, &wire));
  EXPECT_EQ(wire, kCp949Name);
  std::string back;
  ASSERT_TRUE(codec.ToUtf8(wire, &back));
  EXPECT_EQ(back, kUtf8Name);
}

TEST(PlatformWireTextTest, EmptyTextConverts) {
  std::string out = "stale";
  EXPECT_TRUE(PlatformWireText().ToUtf8("", &out));
  EXPECT_EQ(out, "");
  out = "stale";
  EXPECT_TRUE(PlatformWireText().FromUtf8("", &out));
  EXPECT_EQ(out, "");
}

TEST(PlatformWireTextTest, LongTextConvertsWhole) {
  std::string utf8;
  std::string cp949;
  for (int i = 0; i < 2000; ++i) {
    utf8 += kUtf8Name;
    cp949 += kCp949Name;
  }
  std::string out;
  ASSERT_TRUE(PlatformWireText().ToUtf8(cp949, &out));
  EXPECT_EQ(out, utf8);
  ASSERT_TRUE(PlatformWireText().FromUtf8(utf8, &out));
  EXPECT_EQ(out, cp949);
}

TEST(PlatformWireTextTest, InvalidBytesFail) {
  const WireText& codec = PlatformWireText();
  std::string out;
  for (const std::string& wire :
       {std::string("\xFF\xFF"), std::string("ab\xC0"), std::string("\xC0\xDA\xB7")}) {
    EXPECT_FALSE(codec.ToUtf8(wire, &out)) << wire;
  }
  // Not UTF-8 at all, a cut-off sequence, and a character code page 949 lacks.
  for (const std::string& utf8 :
       {std::string("\xFF"), std::string("\xEC\x9E"), std::string("\xF0\x9F\x98\x80")}) {
    EXPECT_FALSE(codec.FromUtf8(utf8, &out)) << utf8;
  }
}

TEST(WireToUtf8Test, MarksOnlyTheBytesThatDoNotConvert) {
  struct Case {
    std::string wire;
    std::string expected;
  };
  const Case cases[] = {
      {"plain", "plain"},
      {kCp949Name, kUtf8Name},
      {"ab\xFF"
       "cd",
       "ab?cd"},
      {"\xC0\xDA\xFF", "자?"},
      {"\xC0\xDA\xB7", "자?"},
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(WireToUtf8(PlatformWireText(), c.wire), c.expected);
}

TEST(IdentityWireTextTest, PassesEveryByteThrough) {
  std::string all;
  for (int i = 0; i < 256; ++i) all += static_cast<char>(i);
  std::string out;
  ASSERT_TRUE(IdentityWireText().ToUtf8(all, &out));
  EXPECT_EQ(out, all);
  ASSERT_TRUE(IdentityWireText().FromUtf8(all, &out));
  EXPECT_EQ(out, all);
  EXPECT_EQ(WireToUtf8(IdentityWireText(), all), all);
}

#ifndef _WIN32
TEST(IconvWireTextTest, ConvertsWithTheNamedCodePage) {
  // "똠" is in code page 949's extension but not in plain EUC-KR.
  const std::string ttom = "\xEB\x98\xA0";
  const std::unique_ptr<WireText> cp949 = MakeIconvWireText("CP949");
  const std::unique_ptr<WireText> eucKr = MakeIconvWireText("EUC-KR");
  ASSERT_NE(cp949, nullptr);
  ASSERT_NE(eucKr, nullptr);
  std::string wire;
  ASSERT_TRUE(cp949->FromUtf8(ttom, &wire));
  EXPECT_EQ(wire, "\x8C\x63");
  EXPECT_FALSE(eucKr->FromUtf8(ttom, &wire));
  ASSERT_TRUE(eucKr->FromUtf8(kUtf8Name, &wire));
  EXPECT_EQ(wire, kCp949Name);  // the common part is the same in both
  EXPECT_EQ(MakeIconvWireText("NO-SUCH-CODE-PAGE"), nullptr);
}
#endif

}  // namespace
}  // namespace dovrel
