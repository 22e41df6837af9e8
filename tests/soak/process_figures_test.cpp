#include "tests/soak/process_figures.h"

#include <gtest/gtest.h>

namespace dovrel::soak {
namespace {

TEST(StaysFlat, AllowsNoiseAndCatchesGrowth) {
  struct Case {
    ProcessFigures baseline, last;
    bool flat;
  };
  const Case cases[] = {
      {{10000, 8}, {10000, 8}, true},
      {{10000, 8}, {9000, 6}, true},                     // shrinking is flat
      {{10000, 8}, {10000 + kMemorySlackKib, 8}, true},  // the fixed slack
      {{10000, 8}, {10000 + kMemorySlackKib + 1, 8}, false},
      {{100000, 8}, {105000, 8}, true},  // a twentieth of a large baseline
      {{100000, 8}, {105001, 8}, false},
      {{10000, 8}, {10000, 8 + kHandleSlack}, true},
      {{10000, 8}, {10000, 9 + kHandleSlack}, false},
      {{-1, 8}, {10000, 8}, false},  // unread figures are never flat
      {{10000, 8}, {10000, -1}, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(StaysFlat(c.baseline, c.last), c.flat)
        << c.baseline.memoryKib << "/" << c.baseline.handles << " -> " << c.last.memoryKib << "/"
        << c.last.handles;
  }
}

}  // namespace
}  // namespace dovrel::soak
