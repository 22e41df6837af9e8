// Where the Linux host finds the administrator's site list and the user's
// receive folder.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "host/platform.h"
#include "tests/support/temp_folder.h"

namespace dovrel::host {
namespace {

using test::TempFolder;

TEST(HostSitePolicy, AbsentNarrowsNothingAndUnreadableAllowsNone) {
  TempFolder folder;
  ASSERT_TRUE(folder.Ok());
  folder.Write("allowed-sites", "www.bank.example\n");
  folder.MakeFolder("a-folder");
  const struct {
    const char* file;
    PolicyValue::State state;
  } cases[] = {
      {"missing", PolicyValue::State::kAbsent},
      {"allowed-sites", PolicyValue::State::kText},
      {"a-folder", PolicyValue::State::kUnreadable},
  };
  for (const auto& c : cases) {
    const PolicyValue value = ReadSitePolicyFile(folder.File(c.file).c_str());
    EXPECT_EQ(value.state, c.state) << c.file;
  }
  EXPECT_EQ(ReadSitePolicyFile(folder.File("allowed-sites").c_str()).text, "www.bank.example\n");
}

// HOME and XDG_CONFIG_HOME for one test, put back after it.
class Environment {
 public:
  Environment(const std::string& home, const char* config) {
    Keep("HOME", &home_);
    Keep("XDG_CONFIG_HOME", &config_);
    setenv("HOME", home.c_str(), 1);
    if (config != nullptr)
      setenv("XDG_CONFIG_HOME", config, 1);
    else
      unsetenv("XDG_CONFIG_HOME");
  }
  ~Environment() {
    Restore("HOME", home_);
    Restore("XDG_CONFIG_HOME", config_);
  }

 private:
  struct Saved {
    bool set = false;
    std::string value;
  };
  static void Keep(const char* name, Saved* saved) {
    if (const char* value = std::getenv(name)) *saved = {true, value};
  }
  static void Restore(const char* name, const Saved& saved) {
    if (saved.set)
      setenv(name, saved.value.c_str(), 1);
    else
      unsetenv(name);
  }
  Saved home_;
  Saved config_;
};

TEST(HostReceiveFolder, TheUsersSettingElseADefaultMadeOnFirstUse) {
  TempFolder home;
  ASSERT_TRUE(home.Ok());
  std::string folder;
  std::string message;
  {
    const Environment unset(home.Text(), nullptr);
    EXPECT_TRUE(ReceiveFolder(&folder, &message)) << message;
    EXPECT_EQ(folder, home.Text() + "/Downloads/Dovrel");
    EXPECT_TRUE(std::filesystem::is_directory(folder));
  }
  home.Write("config/dovrel/receive-folder", home.File("gone") + "\n");
  const Environment named(home.Text(), home.File("config").c_str());
  EXPECT_FALSE(ReceiveFolder(&folder, &message));
  EXPECT_EQ(message, "수신파일저장폴더로 지정한\n" + home.File("gone") + " 가 존재하지 않습니다");
}

}  // namespace
}  // namespace dovrel::host
