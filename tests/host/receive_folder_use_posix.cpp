#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "tests/host/receive_folder_use.h"

namespace dovrel::test {

struct UseReceiveFolder::Previous {
  bool had = false;
  std::string value;
};

UseReceiveFolder::UseReceiveFolder(const std::string& folder, const std::string& settingsRoot)
    : previous_(std::make_unique<Previous>()) {
  if (const char* value = std::getenv("XDG_CONFIG_HOME")) {
    previous_->had = true;
    previous_->value = value;
  }
  std::filesystem::create_directories(settingsRoot + "/dovrel");
  std::ofstream(settingsRoot + "/dovrel/receive-folder") << folder << "\n";
  setenv("XDG_CONFIG_HOME", settingsRoot.c_str(), 1);
}

UseReceiveFolder::~UseReceiveFolder() {
  if (previous_->had)
    setenv("XDG_CONFIG_HOME", previous_->value.c_str(), 1);
  else
    unsetenv("XDG_CONFIG_HOME");
}

}  // namespace dovrel::test
