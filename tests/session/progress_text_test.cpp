#include "session/progress_text.h"

#include <gtest/gtest.h>

namespace dovrel {
namespace {

TEST(SizeText, ShowsEachThresholdAsTheWindowDoes) {
  struct {
    std::uint64_t received, total;
    const char* text;
  } const cases[] = {
      {500, 500, "501Byte of 0.5KB"},
      {2048, 2048, "2KB of 2.0KB"},
      {1023, 3000000, "1024Byte of 2.9MB"},
      {1024, 3000000, "1KB of 2.9MB"},
      {1048575, 3000000, "1024KB of 2.9MB"},
      {1048576, 3000000, "1.0MB of 2.9MB"},
      {0, 256, "1Byte of 0.3KB"},       // 0.25 rounds half away from zero
      {2559, 10000, "3KB of 9.8KB"},    // 2560 shown: 2.5KB rounds up
      {1535, 1048576, "2KB of 1.0MB"},  // 1536 = 1.5KB
      {0, 1048575, "1Byte of 1024.0KB"},
      {0, 0, "1Byte of 0.0KB"},
      {3 * 1048576 / 2 - 1, 3 * 1048576, "1.5MB of 3.0MB"},  // 1.5MB exactly
      {1101004, 64 * 1048576, "1.1MB of 64.0MB"},            // 1101005 shown: just above 1.05MB
      {1101003, 64 * 1048576, "1.0MB of 64.0MB"},            // 1101004 shown: just below
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.received) + " of " + std::to_string(c.total));
    EXPECT_EQ(SizeText(c.received, c.total), c.text);
  }
}

TEST(FixedPoint, RoundsHalvesAwayFromZeroAndNothingElse) {
  EXPECT_EQ(FixedPoint(256, 10, 1), "0.3");  // 0.25
  EXPECT_EQ(FixedPoint(255, 10, 1), "0.2");  // 0.249...
  EXPECT_EQ(FixedPoint(1536, 10, 0), "2");   // 1.5
  EXPECT_EQ(FixedPoint(1535, 10, 0), "1");
  EXPECT_EQ(FixedPoint(2621440, 20, 1), "2.5");
  EXPECT_EQ(FixedPoint(std::uint64_t{1} << 40, 20, 1), "1048576.0");
}

TEST(ProgressPosition, DividesFirstAndTruncates) {
  EXPECT_EQ(ProgressPosition(1, 3), 33);
  EXPECT_EQ(ProgressPosition(29, 100), 28);
  EXPECT_EQ(ProgressPosition(100, 100), 100);
  EXPECT_EQ(ProgressPosition(0, 100), 0);
  EXPECT_EQ(ProgressPosition(5, 0), 0);
  EXPECT_EQ(ProgressPosition(200, 100), 100);
}

TEST(CountText, PadsTheItemNumberToTwoPlaces) {
  EXPECT_EQ(CountText(3, 1), "3개중  1번째");
  EXPECT_EQ(CountText(12, 10), "12개중 10번째");
  EXPECT_EQ(CountText(100, 100), "100개중 100번째");
}

}  // namespace
}  // namespace dovrel
