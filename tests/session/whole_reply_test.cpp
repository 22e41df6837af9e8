#include "tests/session/whole_reply.h"

#include <gtest/gtest.h>

#include <string>

#include "pkcs7/pem_body.h"

namespace dovrel::test {
namespace {

TEST(FindEncryptedDataBody, FindsTheTextBetweenTheMarkersOrRefuses) {
  const std::string begin = kEncryptedDataBegin;
  const std::string end = kEncryptedDataEnd;
  struct Case {
    std::string text;
    bool found;
    std::string body;
  };
  const Case cases[] = {
      {begin + "\nQUJD\n" + end + "\n", true, "\nQUJD\n"},
      {"junk" + begin + "QUJD" + end + "more" + end, true, "QUJD"},  // the first END counts
      {begin + end, true, ""},
      {"QUJD\n" + end, false, ""},                               // no BEGIN
      {begin + "QUJD\n", false, ""},                             // no END
      {end + "\nQUJD\n" + begin, false, ""},                     // END before BEGIN
      {"-----BEGIN PKCS7 ENCRYPTED DATA----" + end, false, ""},  // BEGIN one dash short
      {"", false, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    TextSpan span{99, 99};
    ASSERT_EQ(FindEncryptedDataBody(c.text.data(), c.text.size(), &span), c.found);
    if (c.found) {
      EXPECT_EQ(c.text.substr(span.offset, span.length), c.body);
    }
  }
}

TEST(FindEncryptedDataBody, NeverLooksPastTheGivenLength) {
  std::string text = std::string(kEncryptedDataBegin) + "QUJD" + kEncryptedDataEnd;
  TextSpan span{};
  // The END marker lies beyond the length handed over: it does not count.
  EXPECT_FALSE(FindEncryptedDataBody(text.data(), text.size() - 1, &span));
  EXPECT_TRUE(FindEncryptedDataBody(text.data(), text.size(), &span));
}

TEST(DropControlCharacters, DropsCodesBelowBlankAndDeleteButKeepsBlanks) {
  const std::string text = std::string("Q U\r\nJ\tD\x7f\x01", 10) + std::string(1, '\0') + "=\xb0";
  std::string out(text.size(), '#');
  std::size_t count = DropControlCharacters(text.data(), text.size(), out.data());
  EXPECT_EQ(out.substr(0, count), "Q UJD=\xb0");

  std::string inPlace = "QU\r\nJD\r\n";
  count = DropControlCharacters(inPlace.data(), inPlace.size(), inPlace.data());
  EXPECT_EQ(inPlace.substr(0, count), "QUJD");
}

}  // namespace
}  // namespace dovrel::test
