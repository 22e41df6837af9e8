#include "session/file_output.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#ifndef _WIN32
#include <csignal>
#include <sys/resource.h>
#endif

#include "tests/support/temp_folder.h"

namespace dovrel {
namespace {

using test::ReadFileBytes;
using test::TempFolder;
using test::WriteFileBytes;

const unsigned char* Bytes(const std::string& text) {
  return reinterpret_cast<const unsigned char*>(text.data());
}

TEST(StoreFile, WritesLineFeedsAsCrLfInTextModeOnly) {
  TempFolder folder;
  const std::string bytes = "a\nb\r\n\n";
  ASSERT_TRUE(StoreFile(folder.File("t.txt").c_str(), Bytes(bytes), bytes.size(), true));
  EXPECT_EQ(ReadFileBytes(folder.File("t.txt")), "a\r\nb\r\r\n\r\n");
  ASSERT_TRUE(StoreFile(folder.File("b.dat").c_str(), Bytes(bytes), bytes.size(), false));
  EXPECT_EQ(ReadFileBytes(folder.File("b.dat")), bytes);
  ASSERT_TRUE(StoreFile(folder.File("e.txt").c_str(), Bytes(bytes), 0, true));
  EXPECT_TRUE(std::filesystem::exists(folder.File("e.txt")));
  EXPECT_EQ(std::filesystem::file_size(folder.File("e.txt")), 0u);
}

TEST(StoreFile, ReplacesAnExistingFileAndLeavesNoTemporaryBehind) {
  TempFolder folder;
  WriteFileBytes(folder.File("f.dat"), "old contents");
  ASSERT_TRUE(StoreFile(folder.File("f.dat").c_str(), Bytes("new"), 3, false));
  EXPECT_EQ(ReadFileBytes(folder.File("f.dat")), "new");
  int entries = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder.Path())) {
    (void)entry;
    ++entries;
  }
  EXPECT_EQ(entries, 1);
}

TEST(StoreFile, AFailedWriteKeepsTheOldFile) {
  TempFolder folder;
  // The target is a folder: the new file is written, but cannot take its place.
  std::filesystem::create_directory(folder.File("taken.dat"));
  WriteFileBytes(folder.File("taken.dat") + "/inside", "kept");
  EXPECT_FALSE(StoreFile(folder.File("taken.dat").c_str(), Bytes("new"), 3, false));
  EXPECT_EQ(ReadFileBytes(folder.File("taken.dat") + "/inside"), "kept");
  // The folder does not exist: nothing can be written.
  EXPECT_FALSE(StoreFile(folder.File("missing/f.dat").c_str(), Bytes("new"), 3, false));
  EXPECT_FALSE(std::filesystem::exists(folder.File("missing")));
}

#ifndef _WIN32
TEST(StoreFile, AFullDiskKeepsTheOldFile) {
  TempFolder folder;
  WriteFileBytes(folder.File("full.txt"), "the copy already there");
  // A file size limit fails the write the way a full disk does.
  std::signal(SIGXFSZ, SIG_IGN);
  rlimit saved{};
  getrlimit(RLIMIT_FSIZE, &saved);
  rlimit small = saved;
  small.rlim_cur = 4096;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const std::string big(100000, 'x');
  bool stored = StoreFile(folder.File("full.txt").c_str(), Bytes(big), big.size(), true);
  setrlimit(RLIMIT_FSIZE, &saved);
  EXPECT_FALSE(stored);
  EXPECT_EQ(ReadFileBytes(folder.File("full.txt")), "the copy already there");
  int entries = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder.Path())) {
    (void)entry;
    ++entries;
  }
  EXPECT_EQ(entries, 1);
}
#endif

}  // namespace
}  // namespace dovrel
