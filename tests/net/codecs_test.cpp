#include "net/codecs.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace dovrel {
namespace {

struct Base64Case {
  const char* text;
  bool ok;
  std::string bytes;
};

TEST(DecodeBase64, DecodesPaddingSkippedCharactersAndShortGroups) {
  const Base64Case cases[] = {
      {"QUJD", true, "ABC"},
      {"QUI=", true, "AB"},
      {"QQ==", true, "A"},
      {"QQ", true, "A"},
      {"QU\nJD", true, "ABC"},
      {"Q U J D", true, "ABC"},
      {"QUJDRA", true, "ABCD"},
      {"", true, ""},
      {"QUJD=", false, ""},
      {"Q=", false, ""},
      {"QUJDRA==QUJD", true, "ABCD"},  // stops at the first pad
      {"Q", true, ""},
      {"\r\n-*QUJD\r\n", true, "ABC"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    std::size_t count = 99;
    auto out = DecodeBase64(c.text, std::strlen(c.text), &count);
    ASSERT_EQ(out != nullptr, c.ok);
    if (c.ok) {
      EXPECT_EQ(std::string(reinterpret_cast<char*>(out.get()), count), c.bytes);
    }
  }
}

TEST(DecodeBase64, DecodesInPlaceAndRefusesOutputPastCapacity) {
  char text[] = "SGVsbG8sIHdvcmxkIQ==";
  auto* bytes = reinterpret_cast<unsigned char*>(text);
  ASSERT_EQ(DecodeBase64Into(text, std::strlen(text), bytes, sizeof text), 13);
  EXPECT_EQ(std::string(text, 13), "Hello, world!");

  unsigned char small[2] = {0, 0};
  EXPECT_EQ(DecodeBase64Into("QUJD", 4, small, sizeof small), -1);
}

TEST(DecodeBase64, StopsAtTheGivenLengthEvenWithoutTerminator) {
  const char text[] = {'Q', 'U', 'J', 'D', 'R', 'E', 'V', 'G'};  // no zero after it
  std::size_t count = 0;
  auto out = DecodeBase64(text, 4, &count);
  ASSERT_TRUE(out);
  EXPECT_EQ(count, 3u);
}

TEST(DecodeUrlText, DecodesBlanksAndEscapesAndKeepsShortEscapes) {
  struct {
    const char* source;
    std::string decoded;
  } const cases[] = {
      {"a+b%41%62", "a bAb"}, {"%3d%3D", "=="}, {"100%", "100%"},         {"%4", "%4"},
      {"%zz", "%zz"},         {"%%41", "%A"},   {"\xb0\xa1", "\xb0\xa1"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.source);
    char out[32];
    int n = DecodeUrlText(c.source, out, sizeof out);
    EXPECT_EQ(std::string(out), c.decoded);
    EXPECT_EQ(n, static_cast<int>(c.decoded.size()));
  }
}

TEST(DecodeUrlText, CutsAtTheDestinationCapacity) {
  char out[4] = {'x', 'x', 'x', 'x'};
  EXPECT_EQ(DecodeUrlText("abcdef", out, sizeof out), 3);
  EXPECT_STREQ(out, "abc");
}

std::vector<std::pair<std::string, std::string>> Parse(const std::string& text, int maximum = 20) {
  std::vector<OptionEntry> entries(static_cast<std::size_t>(maximum));
  int n = ParseOptionList(text.data(), text.size(), entries.data(), maximum);
  std::vector<std::pair<std::string, std::string>> out;
  out.reserve(static_cast<std::size_t>(n > 0 ? n : 0));
  for (int i = 0; i < n; ++i)
    out.emplace_back(entries[static_cast<std::size_t>(i)].key,
                     entries[static_cast<std::size_t>(i)].value);
  return out;
}

using Pairs = std::vector<std::pair<std::string, std::string>>;

TEST(ParseOptionList, SplitsBeforeDecodingAndKeepsEmptyPairs) {
  EXPECT_EQ(Parse("DATE=20261208&USERID=u01"), (Pairs{{"DATE", "20261208"}, {"USERID", "u01"}}));
  EXPECT_EQ(Parse("a=1&&b"), (Pairs{{"a", "1"}, {"", ""}, {"b", ""}}));
  EXPECT_EQ(Parse("a=1&"), (Pairs{{"a", "1"}}));
  EXPECT_EQ(Parse(""), Pairs{});
  EXPECT_EQ(Parse("k=x%3Dy%26z=w"), (Pairs{{"k", "x=y&z=w"}}));
  EXPECT_EQ(Parse("a=b=c"), (Pairs{{"a", "b=c"}}));
  EXPECT_EQ(Parse("1=a&2=b&3=c&4=d&5=e", 4).size(), 4u);
}

TEST(ParseOptionList, ReadsOnlyTheGivenLength) {
  const char text[] = "a=1&b=2";
  OptionEntry entries[4];
  EXPECT_EQ(ParseOptionList(text, 3, entries, 4), 1);
  EXPECT_STREQ(entries[0].value, "1");
}

TEST(ParseOptionList, CutsOverlongKeysAndValuesToTheirFields) {
  std::string text = std::string(300, 'k') + "=" + std::string(5000, 'v');
  OptionEntry entries[1];
  ASSERT_EQ(ParseOptionList(text.data(), text.size(), entries, 1), 1);
  EXPECT_EQ(std::strlen(entries[0].key), 127u);
  EXPECT_EQ(std::strlen(entries[0].value), 2047u);
}

TEST(ClearOptionList, EmptiesOnlyTheCountedEntries) {
  OptionEntry entries[2];
  std::strcpy(entries[0].key, "a");
  std::strcpy(entries[1].key, "b");
  ClearOptionList(entries, 1);
  EXPECT_STREQ(entries[0].key, "");
  EXPECT_STREQ(entries[1].key, "b");
  ClearOptionList(entries, -1);
  EXPECT_STREQ(entries[1].key, "b");
}

}  // namespace
}  // namespace dovrel
