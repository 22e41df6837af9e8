#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "host/platform.h"
#include "host/receive_folder_check.h"

namespace dovrel::host {
namespace {

constexpr char kSitePolicyFile[] = "/etc/dovrel/allowed-sites";
constexpr std::size_t kLongestPolicy = 4096;

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

}  // namespace

PolicyValue ReadSitePolicy() { return ReadSitePolicyFile(kSitePolicyFile); }

PolicyValue ReadSitePolicyFile(const char* path) {
  PolicyValue value;
  std::error_code error;
  if (!std::filesystem::exists(path, error) && !error) return value;
  value.state = PolicyValue::State::kUnreadable;
  std::ifstream file(path, std::ios::binary);
  if (!file) return value;
  std::string text(kLongestPolicy + 1, '\0');
  file.read(text.data(), static_cast<std::streamsize>(text.size()));
  if (file.bad() || file.gcount() > static_cast<std::streamsize>(kLongestPolicy)) return value;
  text.resize(static_cast<std::size_t>(file.gcount()));
  value.state = PolicyValue::State::kText;
  value.text = text;
  return value;
}

bool ReceiveFolder(std::string* folder, std::string* messageUtf8) {
  const std::string home = Environment("HOME");
  std::string config = Environment("XDG_CONFIG_HOME");
  if (config.empty() && !home.empty()) config = home + "/.config";
  std::string stored;
  if (!config.empty()) {
    std::ifstream setting(config + "/dovrel/receive-folder");
    std::getline(setting, stored);
  }
  if (stored.empty()) {
    if (home.empty()) return CheckReceiveFolder("", folder, messageUtf8);
    // The default is ours to make; a folder the user named is not.
    stored = home + "/Downloads/Dovrel";
    std::error_code ignored;
    std::filesystem::create_directories(stored, ignored);
  }
  return CheckReceiveFolder(stored, folder, messageUtf8);
}

void PrepareStdio() { std::signal(SIGPIPE, SIG_IGN); }

}  // namespace dovrel::host
