#include "pkcs7/crypto_error.h"

#include <gtest/gtest.h>
#include <openssl/asn1err.h>
#include <openssl/err.h>
#include <openssl/evperr.h>
#include <openssl/pemerr.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace dovrel {
namespace {

// True when `text` ends with a complete UTF-8 sequence (or is empty).
bool EndsCleanly(const std::string& text) {
  std::size_t i = text.size();
  std::size_t continuation = 0;
  while (i > 0 && (static_cast<unsigned char>(text[i - 1]) & 0xC0) == 0x80) {
    --i;
    ++continuation;
  }
  if (i == 0) return continuation == 0;
  unsigned char lead = static_cast<unsigned char>(text[i - 1]);
  std::size_t expected = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : 0;
  return continuation == expected;
}

CryptoErrorRecord FilledRecord() {
  CryptoErrorRecord record;
  std::memset(&record, 'x', sizeof record);  // unterminated, as a careless caller leaves it
  return record;
}

TEST(FormatCryptoError, MovesQueuedEntriesIntoTheMessageAndEmptiesTheQueue) {
  ERR_clear_error();
  ERR_raise_data(ERR_LIB_PEM, PEM_R_NO_START_LINE, "first %s", "detail");
  ERR_raise(ERR_LIB_ASN1, ASN1_R_TOO_LONG);
  CryptoErrorRecord record = FilledRecord();
  FormatCryptoError(&record, kCryptoTag, 76);

  std::string message = record.message;
  std::size_t first = message.find("no start line");
  std::size_t second = message.find("too long");
  ASSERT_NE(first, std::string::npos) << message;
  ASSERT_NE(second, std::string::npos) << message;
  EXPECT_LT(first, second) << "oldest entry first";
  EXPECT_NE(message.find(": first detail\n"), std::string::npos) << message;
  EXPECT_EQ(message.back(), '\n');
  EXPECT_STREQ(record.place, "암호화관련 :   76 LINE\n");
  EXPECT_EQ(ERR_peek_error(), 0u);
}

TEST(FormatCryptoError, CutsAFloodOfEntriesToTheFieldAndStillDrainsTheQueue) {
  ERR_clear_error();
  std::string longText(300, 'q');
  for (int i = 0; i < 200; ++i)
    ERR_raise_data(ERR_LIB_EVP, EVP_R_BAD_DECRYPT, "%s", longText.c_str());
  CryptoErrorRecord record = FilledRecord();
  FormatCryptoError(&record, kCryptoTag, 109);

  std::size_t length = strnlen(record.message, sizeof record.message);
  ASSERT_LT(length, sizeof record.message) << "message must be terminated";
  EXPECT_GT(length, sizeof record.message - 400) << "the field is used, not left empty";
  EXPECT_STREQ(record.place, "암호화관련 :  109 LINE\n");
  EXPECT_EQ(ERR_peek_error(), 0u);
}

TEST(AppendErrorPlace, AppendsLinesAndStaysInsideThePlaceField) {
  CryptoErrorRecord record{};
  std::strcpy(record.place, "암호화관련 : 302 LINE\n");
  AppendErrorPlace(&record, kCryptoTag, 375);
  EXPECT_STREQ(record.place, "암호화관련 : 302 LINE\n암호화관련 :  375 LINE\n");

  for (int i = 0; i < 100; ++i) AppendErrorPlace(&record, kCryptoTag, 375);
  std::string place(record.place, strnlen(record.place, sizeof record.place));
  ASSERT_LT(place.size(), sizeof record.place);
  EXPECT_GT(place.size(), sizeof record.place - 30);
  EXPECT_TRUE(EndsCleanly(place)) << "a cut must not split a multi-byte character";
}

TEST(SetCryptoFailure, WritesEachPlaceStyleAndDiscardsQueuedEntries) {
  struct Case {
    PlaceStyle style;
    int number;
    const char* place;
  };
  const Case cases[] = {
      {PlaceStyle::kPaddedLine, 164, "암호화관련 :  164 LINE\n"},
      {PlaceStyle::kPadded, 101, "암호화관련 :  101\n"},
      {PlaceStyle::kLine, 198, "암호화관련 : 198 LINE\n"},
      {PlaceStyle::kShort, 368, "암호화관련: 368\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.place);
    ERR_raise(ERR_LIB_PEM, PEM_R_NO_START_LINE);
    CryptoErrorRecord record = FilledRecord();
    SetCryptoFailure(&record, "errn.1203", c.style, kCryptoTag, c.number);
    EXPECT_STREQ(record.message, "errn.1203");
    EXPECT_STREQ(record.place, c.place);
    EXPECT_EQ(ERR_peek_error(), 0u);
  }
}

TEST(AppendBounded, CutsAtTheFieldWithoutSplittingCharacters) {
  struct Case {
    const char* before;
    const char* text;
    std::size_t capacity;
    const char* after;
    bool whole;
  };
  const Case cases[] = {
      {"ab", "cd", 8, "abcd", true}, {"ab", "cdefgh", 6, "abcde", false},
      {"", "가나", 7, "가나", true},  // two 3-byte characters and the zero
      {"", "가나", 6, "가", false},   // the second would be cut: left out whole
      {"a", "가", 3, "a", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    char field[16];
    std::snprintf(field, sizeof field, "%s", c.before);
    EXPECT_EQ(AppendBounded(field, c.capacity, c.text), c.whole);
    EXPECT_STREQ(field, c.after);
  }
  char unterminated[4] = {'z', 'z', 'z', 'z'};
  AppendBounded(unterminated, sizeof unterminated, "ok");
  EXPECT_STREQ(unterminated, "ok");
}

}  // namespace
}  // namespace dovrel
