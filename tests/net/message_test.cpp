#include "net/message.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>

#include "net/exchange.h"

namespace dovrel {
namespace {

TEST(BuildRequest, MakesTheInitDocumentAndItsFrameHead) {
  char out[5120];
  int n = BuildRequest({{"SERVICE_CODE", "INIT"}}, out, sizeof out);
  EXPECT_EQ(std::strlen(kMessageHeader), 44u);
  EXPECT_EQ(std::string(out), std::string(kMessageHeader) +
                                  "<MORVANTA_XML><SERVICE_CODE>INIT</SERVICE_CODE></MORVANTA_XML>");
  EXPECT_EQ(n, 106);
  unsigned char head[5];
  MakeRequestHead(static_cast<std::uint32_t>(n), head);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(head), 5), std::string("#\0\0\0\x6A", 5));
}

TEST(BuildRequest, KeepsElementOrderAndRefusesWhatDoesNotFit) {
  char out[256];
  ASSERT_GT(BuildRequest({{"service_code", "GET"}, {"skey", "k"}, {"FILE_NAME", "a&b<c>"}}, out,
                         sizeof out),
            0);
  EXPECT_NE(std::strstr(out,
                        "<SERVICE_CODE>GET</SERVICE_CODE><SKEY>k</SKEY>"
                        "<FILE_NAME>a&b<c></FILE_NAME></MORVANTA_XML>"),
            nullptr);
  char tiny[107];
  EXPECT_EQ(BuildRequest({{"SERVICE_CODE", "INIT"}}, tiny, sizeof tiny - 1), -1);
  EXPECT_STREQ(tiny, "");
  EXPECT_EQ(BuildRequest({{"SERVICE_CODE", "INIT"}}, tiny, sizeof tiny), 106);
}

TEST(MakeElement, UpperCasesTheNameAndEscapesNothing) {
  char out[64];
  EXPECT_TRUE(MakeElement("skey", "a<b", out, sizeof out));
  EXPECT_STREQ(out, "<SKEY>a<b</SKEY>");
  EXPECT_FALSE(MakeElement("skey", "a<b", out, 16));
  EXPECT_STREQ(out, "");
}

TEST(FindElement, FindsTheFirstExactTagOnly) {
  struct {
    const char* document;
    const char* name;
    bool found;
    const char* text;
  } const cases[] = {
      {"<SKEY>abc</SKEY>", "skey", true, "abc"},
      {"<skey>abc</skey>", "skey", false, ""},
      {"<A></A>", "A", true, ""},
      {"<A>1</A><A>2</A>", "A", true, "1"},
      {"<A>open only", "A", false, ""},
      {"</A><A>x", "A", false, ""},
      {"<ENC_DATA>x</ENC_DATA>", "DATA", false, ""},
      {"<V>line\r\n two </V>", "V", true, "line\r\n two "},
      {"", "A", false, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.document);
    char out[32] = "untouched";
    EXPECT_EQ(FindElement(c.document, c.name, out, sizeof out), c.found);
    EXPECT_STREQ(out, c.found ? c.text : "untouched");
  }
}

TEST(FindElement, RefusesATextLongerThanItsOutput) {
  char out[4] = "old";
  EXPECT_FALSE(FindElement("<A>1234</A>", "A", out, sizeof out));
  EXPECT_STREQ(out, "old");
  EXPECT_TRUE(FindElement("<A>123</A>", "A", out, sizeof out));
  EXPECT_STREQ(out, "123");
}

TEST(FindParameter, MatchesWholeNamesAtPairStarts) {
  struct {
    const char* text;
    const char* name;
    std::size_t capacity;
    int result;
    const char* value;
  } const cases[] = {
      {"file_size=12&file_contents=xyz", "FILE_SIZE", 64, 0, "12"},
      {"file_size=12&file_contents=xyz", "file", 64, -1, ""},
      {"file_size=12&file_contents=xyz", "file_contents", 64, 0, "xyz"},
      {"a=12345", "a", 3, 0, "12"},
      {"x=1&&a=2", "a", 64, 0, "2"},
      {"xa=1&a=", "a", 64, 0, ""},
      {"a", "a", 64, -1, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.text) + " / " + c.name);
    char out[64] = "junk";
    EXPECT_EQ(FindParameter(c.text, c.name, out, c.capacity), c.result);
    EXPECT_STREQ(out, c.value);
  }
}

TEST(IsReceivedFileName, AcceptsThePrefixInAnyCase) {
  EXPECT_TRUE(IsReceivedFileName("107abc.txt"));
  EXPECT_TRUE(IsReceivedFileName("107"));
  EXPECT_FALSE(IsReceivedFileName("10"));
  EXPECT_FALSE(IsReceivedFileName("x107.txt"));
}

TEST(ParseLeadingInteger, ReadsLikeTheServerCodesAreMeant) {
  // The same 32-bit limits natively and in the 32- and 64-bit Windows builds.
  struct {
    const char* text;
    std::int32_t value;
  } const cases[] = {{"0000", 0},
                     {"0001", 1},
                     {"  12x", 12},
                     {"-5", -5},
                     {"+7", 7},
                     {"OK", 0},
                     {"", 0},
                     {" - 3", 0},
                     {"2147483647", INT32_MAX},
                     {"2147483648", INT32_MAX},
                     {"-2147483648", INT32_MIN},
                     {"-2147483649", INT32_MIN},
                     {"4294967296", INT32_MAX},
                     {"99999999999999999999999", INT32_MAX},
                     {"-99999999999999999999999", INT32_MIN}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(ParseLeadingInteger(c.text), c.value);
  }
}

}  // namespace
}  // namespace dovrel
