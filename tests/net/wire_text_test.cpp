#include "net/wire_text.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace dovrel {
namespace {

// "자료.txt" in code page 949.
const std::string kCp949Name = "\xC0\xDA\xB7\xE1.txt";
const std::string kUtf8Name = "자료.txt";

std::string EveryByte() {
  std::string all;
  for (int i = 0; i < 256; ++i) all += static_cast<char>(i);
  return all;
}

// Each codec both ways, each conversion replacing what the output held.
TEST(WireTextTest, ConvertsBothWaysWhole) {
  std::string longUtf8;
  std::string longCp949;
  for (int i = 0; i < 2000; ++i) {
    longUtf8 += kUtf8Name;
    longCp949 += kCp949Name;
  }
  const struct {
    const char* label;
    const WireText& codec;
    std::string utf8;
    std::string wire;
  } cases[] = {
      {"a Korean name through code page 949", PlatformWireText(), kUtf8Name, kCp949Name},
      {"the empty text", PlatformWireText(), "", ""},
      {"a long text", PlatformWireText(), longUtf8, longCp949},
      {"every byte through the identity", IdentityWireText(), EveryByte(), EveryByte()},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    std::string out = "stale";
    ASSERT_TRUE(c.codec.FromUtf8(c.utf8, &out));
    EXPECT_EQ(out, c.wire);
    out = "stale";
    ASSERT_TRUE(c.codec.ToUtf8(c.wire, &out));
    EXPECT_EQ(out, c.utf8);
  }
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
  EXPECT_EQ(WireToUtf8(IdentityWireText(), EveryByte()), EveryByte());
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
