#include "base/win32/window_placement.h"

#include <gtest/gtest.h>

namespace dovrel {
namespace {

TEST(CentreOnOwner, CentresAndKeepsInsideTheBound) {
  const Area screen{0, 0, 1280, 1000};
  const struct {
    Area reference;
    int width, height;
    int x, y;
  } cases[] = {
      {{100, 100, 501, 401}, 101, 51, 250, 225},      // (100+501)/2 - 101/2 = 300 - 50
      {{0, 0, 100, 100}, 300, 300, 0, 0},             // would start left of and above the area
      {{1200, 900, 1280, 1000}, 300, 300, 980, 700},  // would stick out right and below
      {screen, 400, 200, 440, 400},
  };
  for (const auto& c : cases) {
    const Point at = CentrePosition(c.reference, screen, c.width, c.height);
    EXPECT_EQ(at.x, c.x);
    EXPECT_EQ(at.y, c.y);
  }
}

}  // namespace
}  // namespace dovrel
