#include "session/file_names.h"

#include <gtest/gtest.h>

#include <string>

namespace dovrel {
namespace {

TEST(IsSafeFileName, AcceptsPlainNamesOnly) {
  struct {
    std::string name;
    bool safe;
  } const cases[] = {
      {"107a.txt", true},
      {"\xc0\xda\xb7\xe1.txt", true},  // 자료.txt in code page 949
      {"no extension", true},
      {".hidden", true},
      {"", false},
      {".", false},
      {"..", false},
      {"../x.txt", false},
      {"..\\x.txt", false},
      {"a/b.txt", false},
      {"C:x.txt", false},
      {"c:\\x.txt", false},
      {"/etc/passwd", false},
      {"CON", false},
      {"nul.txt", false},
      {"Com1.log", false},
      {"LPT9", false},
      {"aux .txt", false},
      {"COM10", true},
      {"name.", false},
      {"name ", false},
      {"a\tb", false},
      {"a*b", false},
      {"a?b", false},
      {"a|b", false},
      {std::string(259, 'n'), true},
      {std::string(260, 'n'), false},
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
      {"r\\107a.txt", true},   {"r/107a.TXT", true},   {"r\\notes.Rst", true},
      {"r\\a.txt.bak", false}, {"r\\a.dat", false},    {"r\\noext", false},
      {"r.txt\\noext", false}, {"r.txt/noext", false}, {".txt", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(IsTextModePath(c.path), c.text);
  }
}

TEST(MakeLocalPath, JoinsTheFolderAndAConvertedName) {
  char path[260];
  ASSERT_TRUE(MakeLocalPath("recv", "107a.txt", PlatformWireText(), path, sizeof path));
  EXPECT_EQ(std::string(path), std::string("recv") + kPathSeparator + "107a.txt");
  EXPECT_FALSE(MakeLocalPath("recv", "../up.txt", PlatformWireText(), path, sizeof path));
  EXPECT_FALSE(
      MakeLocalPath(std::string(250, 'f'), "long-name.txt", PlatformWireText(), path, sizeof path));
  if (!kFileNamesAreWireText) {
    ASSERT_TRUE(MakeLocalPath("r", "\xc0\xda\xb7\xe1.txt", PlatformWireText(), path, sizeof path));
    EXPECT_EQ(std::string(path), "r/자료.txt");
    EXPECT_FALSE(MakeLocalPath("r", "\xff\xff.txt", PlatformWireText(), path, sizeof path));
  }
}

}  // namespace
}  // namespace dovrel
