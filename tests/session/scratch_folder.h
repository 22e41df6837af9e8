#pragma once
// A fresh folder under the system's temporary folder, removed with its
// contents when the test ends.

#include <filesystem>
#include <random>
#include <string>
#include <system_error>

namespace dovrel::test {

class ScratchFolder {
 public:
  ScratchFolder() {
    std::random_device random;
    std::error_code error;
    auto base = std::filesystem::temp_directory_path(error);
    for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
      auto candidate = base / ("dovrel-session-" + std::to_string(random()));
      if (std::filesystem::create_directory(candidate, error)) path_ = candidate;
    }
  }
  ~ScratchFolder() {
    std::error_code error;
    if (!path_.empty()) std::filesystem::remove_all(path_, error);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  bool ok() const { return !path_.empty(); }
  const std::filesystem::path& path() const { return path_; }
  std::string File(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

}  // namespace dovrel::test
