#include "base/leading_integer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace dovrel {
namespace {

TEST(LeadingInteger, ReadsSixtyFourBitsAndTheSameInAnyPieces) {
  struct {
    std::string text;
    std::int64_t value;
  } const cases[] = {
      {"0000", 0},
      {" \t\r\n\f\v12x", 12},
      {"-5", -5},
      {"+7", 7},
      {"OK", 0},
      {"", 0},
      {" - 3", 0},
      {"3 4", 3},
      {std::string("4\0"
                   "5",
                   3),
       4},  // a zero byte ends the text
      {"9223372036854775807", INT64_MAX},
      {"9223372036854775808", INT64_MAX},
      {"-9223372036854775807", -INT64_MAX},
      {"-9223372036854775808", INT64_MIN},
      {"-9223372036854775809", INT64_MIN},
      {"99999999999999999999999", INT64_MAX},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(ParseLeading<std::int64_t>(c.text.data(), c.text.size()), c.value);
    for (std::size_t cut = 0; cut <= c.text.size(); ++cut) {
      LeadingInteger<std::int64_t> number;
      number.Take(c.text.data(), cut);
      number.Take(c.text.data() + cut, c.text.size() - cut);
      EXPECT_EQ(number.Value(), c.value) << "cut at " << cut;
    }
  }
}

TEST(LeadingInteger, StopsAtTheLengthGivenAndTellsWhenTheNumberHasEnded) {
  EXPECT_EQ(ParseLeading<std::int64_t>("12345", 3), 123);
  EXPECT_EQ(ParseLeading<std::int32_t>(nullptr), 0);
  LeadingInteger<std::int32_t> number;
  EXPECT_TRUE(number.Take(" -12", 4));
  EXPECT_FALSE(number.Take("3<", 2));
  EXPECT_FALSE(number.Take("4", 1));
  EXPECT_EQ(number.Value(), -123);
}

}  // namespace
}  // namespace dovrel
