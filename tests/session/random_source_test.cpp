#include "session/random_source.h"

#include <gtest/gtest.h>

#include <openssl/err.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>

#include "tests/support/temp_folder.h"

namespace dovrel {
namespace {

// The variable the platform's temporary folder comes from.
#ifdef _WIN32
constexpr char kTempVariable[] = "TMP";
#else
constexpr char kTempVariable[] = "TMPDIR";
#endif

// Points the temporary folder elsewhere for one test, and back afterwards.
class TempFolderVariable {
 public:
  explicit TempFolderVariable(const char* value) {
    if (const char* old = std::getenv(kTempVariable)) saved_ = old;
    Set(value);
  }
  ~TempFolderVariable() { Set(saved_ ? saved_->c_str() : nullptr); }
  TempFolderVariable(const TempFolderVariable&) = delete;
  TempFolderVariable& operator=(const TempFolderVariable&) = delete;

 private:
  static void Set(const char* value) {
#ifdef _WIN32
    _putenv_s(kTempVariable, value != nullptr ? value : "");
#else
    if (value != nullptr) {
      setenv(kTempVariable, value, 1);
    } else {
      unsetenv(kTempVariable);
    }
#endif
  }
  std::optional<std::string> saved_;
};

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

TEST(PrepareRandomSource, LeavesExactly1024FreshBytesWhateverTheSeedFileHeld) {
  test::TempFolder folder;
  ASSERT_TRUE(folder.Ok());
  const std::string seed = folder.File("rand");
  TempFolderVariable variable(folder.Path().string().c_str());
  struct Case {
    const char* what;
    bool present;
    std::string before;
  };
  const Case cases[] = {
      {"missing", false, ""},
      {"empty", true, ""},
      {"larger", true, std::string(5000, 'L')},
      {"same size", true, std::string(1024, '\0')},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove(seed);
    if (c.present) WriteFile(seed, c.before);
    EXPECT_TRUE(PrepareRandomSource());
    std::string after = ReadFile(seed);
    EXPECT_EQ(after.size(), 1024u);
    EXPECT_NE(after, c.before.substr(0, 1024));
  }
}

// A seed file that cannot be opened leaves nothing on the library's error
// queue, where it would turn up in the next crypto error record; entries
// that were there before stay.
TEST(PrepareRandomSource, LeavesNoErrorEntriesForASeedFileItCannotOpen) {
  test::TempFolder folder;
  ASSERT_TRUE(folder.Ok());
  std::filesystem::create_directory(folder.File("rand"));  // the seed path is a folder
  const std::string missing = folder.File("missing");
  for (const std::string& temporary : {folder.Path().string(), missing}) {
    SCOPED_TRACE(temporary);
    TempFolderVariable variable(temporary.c_str());
    ERR_clear_error();
    EXPECT_TRUE(PrepareRandomSource());
    EXPECT_EQ(ERR_peek_error(), 0u);

    ERR_raise(ERR_LIB_USER, 7);
    const unsigned long earlier = ERR_peek_last_error();
    EXPECT_TRUE(PrepareRandomSource());
    EXPECT_EQ(ERR_get_error(), earlier);
    EXPECT_EQ(ERR_peek_error(), 0u);
  }
}

TEST(RandomSeedPath, LiesInTheTemporaryFolder) {
  test::TempFolder folder;
  ASSERT_TRUE(folder.Ok());
  TempFolderVariable variable(folder.Path().string().c_str());
  char path[kPathSize];
  ASSERT_TRUE(RandomSeedPath(path, sizeof path));
  EXPECT_TRUE(std::filesystem::equivalent(std::filesystem::path(path).parent_path(), folder.Path()))
      << path;
  EXPECT_EQ(std::filesystem::path(path).filename(), "rand");
  EXPECT_FALSE(RandomSeedPath(path, std::strlen(path)));  // no room for the zero
}

#ifndef _WIN32
TEST(RandomSeedPath, FollowsTmpdirOrFallsBackToTmp) {
  struct Case {
    const char* tmpdir;  // null: unset
    const char* path;
  };
  const Case cases[] = {
      {"/var/dovrel", "/var/dovrel/rand"},
      {"/var/dovrel/", "/var/dovrel//rand"},  // a doubled separator, as on Windows
      {"", "/tmp/rand"},
      {nullptr, "/tmp/rand"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    TempFolderVariable variable(c.tmpdir);
    char path[kPathSize];
    ASSERT_TRUE(RandomSeedPath(path, sizeof path));
    EXPECT_STREQ(path, c.path);
  }
  std::string longFolder(kPathSize, 'd');
  TempFolderVariable variable(longFolder.c_str());
  char path[kPathSize];
  EXPECT_FALSE(RandomSeedPath(path, sizeof path));
}
#endif

TEST(FormatKeyText, WritesBothValuesInLowerCaseHex) {
  unsigned char key[kSessionKeySize];
  unsigned char iv[kInitVectorSize];
  for (std::size_t i = 0; i < sizeof key; ++i) key[i] = static_cast<unsigned char>(i * 17 + 10);
  for (std::size_t i = 0; i < sizeof iv; ++i) iv[i] = static_cast<unsigned char>(0xF0 + i);
  key[0] = 10;
  char text[1024];
  ASSERT_EQ(FormatKeyText(key, iv, text, sizeof text), 71);
  EXPECT_STREQ(text,
               "sessionkey=0a1b2c3d4e5f708192a3b4c5d6e7f809"
               "&initvector=f0f1f2f3f4f5f6f7");

  char exact[72];
  EXPECT_EQ(FormatKeyText(key, iv, exact, sizeof exact), 71);
  EXPECT_EQ(FormatKeyText(key, iv, exact, 71), -1);  // no room for the zero
}

}  // namespace
}  // namespace dovrel
