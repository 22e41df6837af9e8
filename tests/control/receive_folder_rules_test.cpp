#include "control/receive_folder_rules.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

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

// A value of `textBytes` letters `letter` written with its terminating zero;
// no value at all for 0.
StoredFolderRead Stored(std::size_t textBytes, char letter) {
  StoredFolderRead read;
  if (textBytes == 0) return read;
  std::memset(read.local, letter, textBytes < kPathSize ? textBytes : kPathSize);
  read.reportedSize = static_cast<unsigned long>(textBytes + 1);
  if (textBytes >= kPathSize) read.local[0] = '\0';  // the query did not fit
  return read;
}

TEST(ReceiveFolderRules, TakesTheUsersValueWhenItLoadsElseTheMachines) {
  const struct {
    std::size_t userBytes;
    std::size_t machineBytes;
    std::string chosen;  // "user", "machine" or "none"
  } cases[] = {
      {10, 20, "user"},     {0, 20, "machine"}, {10, 0, "user"},       {0, 0, "none"},
      {258, 0, "user"},     {259, 0, "none"},   {300, 0, "none"},      {0, 258, "machine"},
      {0, 259, "none"},     {0, 300, "none"},   {259, 258, "machine"}, {258, 259, "user"},
      {300, 20, "machine"}, {259, 259, "none"},
  };
  for (const auto& c : cases) {
    const StoredFolderRead user = Stored(c.userBytes, 'u');
    const StoredFolderRead machine = Stored(c.machineBytes, 'm');
    const StoredFolderRead* chosen = ChooseStoredFolder(user, machine, kPathSize);
    const std::string name = chosen == &user ? "user" : chosen == &machine ? "machine" : "none";
    EXPECT_EQ(name, c.chosen) << c.userBytes << " user bytes, " << c.machineBytes
                              << " machine bytes";
  }
}

}  // namespace
}  // namespace dovrel
