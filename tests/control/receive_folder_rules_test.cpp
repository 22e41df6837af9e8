#include "control/receive_folder_rules.h"

#include <gtest/gtest.h>

namespace dovrel {
namespace {

TEST(ReceiveFolderRules, AcceptsANonEmptyTextThatFitsTheCallersBuffer) {
  const struct {
    std::size_t textBytes;
    unsigned long reported;
    std::size_t callerSize;
    bool accepted;
  } cases[] = {
      {258, 259, 260, true}, {259, 260, 260, false},
      {0, 1, 260, false},    {259, 259, 260, true},  // written without its zero
      {10, 11, 11, false},   {10, 11, 12, true},
  };
  for (const auto& c : cases) {
    char local[kPathSize] = {};
    for (std::size_t i = 0; i < c.textBytes; ++i) local[i] = 'a';
    EXPECT_EQ(AcceptStoredFolder(local, c.reported, c.callerSize), c.accepted) << c.textBytes;
  }
}

}  // namespace
}  // namespace dovrel
