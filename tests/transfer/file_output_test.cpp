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

TEST(IsSafeFileName, AcceptsPlainNamesOnly) {
  struct {
    std::string name;
    bool safe;
  } const cases[] = {
      {"107a.txt", true},      {"\xc0\xda\xb7\xe1.txt", true},  // 자료.txt in code page 949
      {"no extension", true},  {".hidden", true},
      {"", false},             {".", false},            {"..", false},
      {"../x.txt", false},     {"..\\x.txt", false},    {"a/b.txt", false},
      {"C:x.txt", false},      {"c:\\x.txt", false},    {"/etc/passwd", false},
      {"CON", false},          {"nul.txt", false},      {"Com1.log", false},
      {"LPT9", false},         {"aux .txt", false},     {"COM10", true},
      {"name.", false},        {"name ", false},        {"a\tb", false},
      {"a*b", false},          {"a?b", false},          {"a|b", false},
      {std::string(259, 'n'), true},                    {std::string(260, 'n'), false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(IsSafeFileName(c.name), c.safe);
  }
}

TEST(IsTextModePath, LooksAtTheLastComponentsExtensionOnly) {
  struct {
    const char* path;
    bool text;
  } const cases[] = {
      {"r\\107a.txt", true},     {"r/107a.TXT", true},   {"r\\notes.Rst", true},
      {"r\\a.txt.bak", false},   {"r\\a.dat", false},    {"r\\noext", false},
      {"r.txt\\noext", false},   {"r.txt/noext", false}, {".txt", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(IsTextModePath(c.path), c.text);
  }
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

TEST(MakeLocalPath, JoinsTheFolderAndAConvertedName) {
  char path[260];
  ASSERT_TRUE(MakeLocalPath("recv", "107a.txt", PlatformWireText(), path, sizeof path));
  EXPECT_EQ(std::string(path), std::string("recv") + kPathSeparator + "107a.txt");
  EXPECT_FALSE(MakeLocalPath("recv", "../up.txt", PlatformWireText(), path, sizeof path));
  EXPECT_FALSE(MakeLocalPath(std::string(250, 'f'), "long-name.txt", PlatformWireText(), path, sizeof path));
  if (!kFileNamesAreWireText) {
    ASSERT_TRUE(MakeLocalPath("r", "\xc0\xda\xb7\xe1.txt", PlatformWireText(), path, sizeof path));
    EXPECT_EQ(std::string(path), "r/자료.txt");
    EXPECT_FALSE(MakeLocalPath("r", "\xff\xff.txt", PlatformWireText(), path, sizeof path));
  }
}

}  // namespace
}  // namespace dovrel
