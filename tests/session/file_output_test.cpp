#include "session/file_output.h"

#include <gtest/gtest.h>

#include <chrono>
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
  EXPECT_EQ(folder.EntryCount(), 1);
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

// The temporary file has a short name of its own in the same folder, so
// every path the listing accepts (up to 259 characters) can be stored, however
// many files the process has written.
TEST(StoreFile, StoresAtPathsOfUpTo259CharactersUnderAShortTemporaryName) {
  TempFolder folder;
  std::string base = folder.Text();
  const std::size_t room = 259 - base.size() - 1;  // for the separator
  ASSERT_GT(room, 20u);
  const std::string deep(room - 11, 'd');  // leaves room for "/" and a 10-character name
  folder.MakeFolder(deep);
  const std::string inside = (folder.Path() / deep).string();
  for (const std::string& name :
       {std::string("x.dat"), std::string("abcdef.txt"), std::string("a")}) {
    const std::string path =
        inside + std::string(1, static_cast<char>(std::filesystem::path::preferred_separator)) +
        name;
    SCOPED_TRACE(path.size());
    ASSERT_LE(path.size(), 259u);
    for (int i = 0; i < 3; ++i) {
      ASSERT_TRUE(StoreFile(path.c_str(), Bytes("new"), 3, false));
      EXPECT_EQ(ReadFileBytes(path), "new");
    }
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
      const std::string temporary = PartFileName(path, attempt);
      EXPECT_LE(temporary.size(), 259u);
      EXPECT_EQ(temporary.substr(0, inside.size() + 2), inside + path[inside.size()] + "~");
    }
  }
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(inside),
                          std::filesystem::directory_iterator()),
            3);
}

TEST(StoreFile, NeverOverwritesAFileThatHoldsTheTemporaryName) {
  TempFolder folder;
  // A path of 259 characters whose name has one: only "~" fits beside it.
  const std::string deep(259 - folder.Text().size() - 3, 'd');
  folder.MakeFolder(deep);
  const std::string path = (folder.Path() / deep / "a").string();
  ASSERT_EQ(path.size(), 259u);
  const std::string only = PartFileName(path, 0);
  ASSERT_EQ(only, (folder.Path() / deep / "~").string());
  ASSERT_EQ(PartFileName(path, 12345), only);
  ASSERT_TRUE(StoreFile(path.c_str(), Bytes("new"), 3, false));
  EXPECT_EQ(ReadFileBytes(path), "new");
  WriteFileBytes(only, "someone else's");
  EXPECT_FALSE(StoreFile(path.c_str(), Bytes("newer"), 5, false));
  EXPECT_EQ(ReadFileBytes(only), "someone else's");
  EXPECT_EQ(ReadFileBytes(path), "new");
}

// Temporaries left by a run that died mid-transfer go once they are a day
// old; nothing else in the folder is touched, whatever its name or age.
TEST(RemoveStalePartFiles, RemovesOnlyThisReceiversTemporariesOlderThanADay) {
  TempFolder folder;
  const std::string finalPath = folder.File("107a.txt");
  const std::string stale = PartFileName(finalPath, 1);
  const std::string fresh = PartFileName(finalPath, 2);
  ASSERT_TRUE(IsPartFileName(std::filesystem::path(stale).filename().string())) << stale;
  const std::string others[] = {finalPath, folder.File("~abcdefg"), folder.File("~abc.dovrel-part"),
                                folder.File("x~abcdefg.dovrel-part")};
  for (const std::string& path : {stale, fresh}) WriteFileBytes(path, "part");
  for (const std::string& path : others) WriteFileBytes(path, "keep");
  const auto twoDaysAgo = std::filesystem::file_time_type::clock::now() - std::chrono::hours(48);
  const auto nearlyADay = std::filesystem::file_time_type::clock::now() - std::chrono::hours(23);
  for (const std::string& path : others) std::filesystem::last_write_time(path, twoDaysAgo);
  std::filesystem::last_write_time(stale, twoDaysAgo);
  std::filesystem::last_write_time(fresh, nearlyADay);
#ifndef _WIN32  // the C library there cannot set a folder's time
  const std::string folderLike = PartFileName(finalPath, 3);
  std::filesystem::create_directory(folderLike);
  std::filesystem::last_write_time(folderLike, twoDaysAgo);
#endif

  RemoveStalePartFiles(folder.Text().c_str());
  EXPECT_FALSE(std::filesystem::exists(stale));
  EXPECT_TRUE(std::filesystem::exists(fresh));
#ifndef _WIN32
  EXPECT_TRUE(std::filesystem::is_directory(folderLike));
#endif
  for (const std::string& path : others) EXPECT_EQ(ReadFileBytes(path), "keep") << path;
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
  EXPECT_EQ(folder.EntryCount(), 1);
}
#endif

}  // namespace
}  // namespace dovrel
