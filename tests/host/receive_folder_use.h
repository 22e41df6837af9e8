#pragma once
// The receive folder the host finds, set for one test and put back after it:
// the control's setting on Windows, the per-user setting file elsewhere.

#include <memory>
#include <string>

namespace dovrel::test {

class UseReceiveFolder {
 public:
  // `settingsRoot`: a folder of the test's own for what the setting needs.
  UseReceiveFolder(const std::string& folder, const std::string& settingsRoot);
  ~UseReceiveFolder();
  UseReceiveFolder(const UseReceiveFolder&) = delete;
  UseReceiveFolder& operator=(const UseReceiveFolder&) = delete;

 private:
  struct Previous;
  std::unique_ptr<Previous> previous_;
};

}  // namespace dovrel::test
