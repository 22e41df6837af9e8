#include "base/ansi_copy.h"

#include <gtest/gtest.h>

namespace dovrel {
namespace {

TEST(AnsiText, CopiesCutBeforeADoubleByteCharacter) {
  char small[4] = "xxx";
  CopyAnsiText(small, sizeof small, "ab\xB1\xE8");
  EXPECT_STREQ(small, "ab");
  CopyAnsiText(small, sizeof small, nullptr);
  EXPECT_STREQ(small, "");
}

}  // namespace
}  // namespace dovrel
