#include "net/wait_limits.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstddef>
#include <iterator>
#include <vector>

namespace dovrel {
namespace {

TEST(RemainingMs, IsTheTimeToTheDeadlineAsAWaitTakesIt) {
  const struct {
    std::int64_t deadline, now;
    int expected;
  } cases[] = {
      {61000, 1000, 60000},                 // the time left
      {61000, 60999, 1},                    // a moment left
      {61000, 61000, 0},                    // the deadline itself
      {61000, 70000, 0},                    // past it: never below zero
      {std::int64_t{1} << 40, 0, INT_MAX},  // more than a wait can hold
      {kNoDeadline, -1000, INT_MAX},        // no overflow on the way
      {5, -5, 10},                          // any clock's zero
      {INT64_MIN, INT64_MAX, 0},            // far past
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const auto& c = cases[i];
    EXPECT_EQ(RemainingMs(c.deadline, c.now), c.expected) << "case " << i;
  }
}

TEST(TimeLeftMs, CutsEachStepToWhatIsLeftOfTheWhole) {
  const struct {
    std::int64_t now, deadline;
    int step, expected;
  } cases[] = {
      {1000, 61000, 10000, 10000},              // plenty left: the step's own wait
      {55000, 61000, 10000, 6000},              // less left than the step
      {60999, 61000, 10000, 1},                 // a moment left
      {61000, 61000, 10000, 0},                 // the deadline itself: out of time
      {70000, 61000, 10000, 0},                 // past it
      {1000, 61000, -1, 60000},                 // no limit of its own: all that is left
      {0, kNoDeadline, 20000, 20000},           // no bound: the step as it is
      {0, kNoDeadline, -1, -1},                 // neither: no limit at all
      {0, std::int64_t{1} << 40, -1, INT_MAX},  // more left than a wait can hold
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const auto& c = cases[i];
    EXPECT_EQ(TimeLeftMs(c.now, c.deadline, c.step), c.expected) << "case " << i;
  }
  EXPECT_EQ(DeadlineAfter(5000, 60000), 65000);
  EXPECT_EQ(DeadlineAfter(5000, -1), kNoDeadline);
}

TEST(LowSpeedRule, AFileMustGainAKibibyteInEachMinute) {
  // Reads as (time, total after the read); then when the rule holds and when it breaks.
  struct Read {
    std::int64_t at;
    std::uint64_t total;
  };
  const struct {
    const char* what;
    std::vector<Read> reads;
    std::int64_t holdsAt, breaksAt;
  } cases[] = {
      {"nothing arrives", {}, 59999, 60000},
      {"one byte every nine seconds",
       {{9000, 1}, {18000, 2}, {27000, 3}, {36000, 4}, {45000, 5}, {54000, 6}},
       59999,
       60000},
      {"1023 bytes in the first minute", {{1000, 1023}}, 59999, 60000},
      {"a kibibyte just in time starts the next minute", {{60000, 1024}}, 119999, 120000},
      {"a kibibyte in pieces", {{20000, 600}, {50000, 1100}, {100000, 2000}}, 109999, 110000},
      {"the next kibibyte counts from the last one", {{10000, 5000}, {65000, 5500}}, 69999, 70000},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    LowSpeedRule rule(1024, 60000);
    rule.Start(0, 0);
    for (const Read& read : c.reads) rule.Update(read.at, read.total);
    EXPECT_FALSE(rule.Broken(c.holdsAt));
    EXPECT_TRUE(rule.Broken(c.breaksAt));
    EXPECT_EQ(rule.DeadlineMs(), c.breaksAt);
  }
}

TEST(LowSpeedRule, ANegativePeriodOrNoBytesIsNoRule) {
  LowSpeedRule none(1024, -1);
  none.Start(0, 0);
  EXPECT_EQ(none.DeadlineMs(), kNoDeadline);
  EXPECT_FALSE(none.Broken(std::int64_t{1} << 50));
  LowSpeedRule zero(0, 60000);
  zero.Start(0, 0);
  EXPECT_EQ(zero.DeadlineMs(), kNoDeadline);
}

}  // namespace
}  // namespace dovrel
