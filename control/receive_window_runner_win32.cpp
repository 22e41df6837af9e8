#include "control/receive_window_runner_win32.h"

#include <string>

#include "control/folder_select_dialog_win32.h"
#include "control/receive_folder_setting_win32.h"
#include "ui/receive_window_win32.h"

namespace dovrel {
namespace {

class ControlFolders final : public FolderServices {
 public:
  explicit ControlFolders(bool mayStore) : mayStore_(mayStore) {}

  int ChooseFolder(HWND owner, const std::string& current, std::string* chosen) override {
    char folder[kPathSize] = {};
    const int result = PromptForFolder(owner, current.c_str(), folder, sizeof folder);
    *chosen = folder;
    return result;
  }
  void StoreFolder(const std::string& folder) override {
    if (mayStore_) SaveReceiveFolder(folder.c_str());
  }

 private:
  const bool mayStore_;
};

}  // namespace

void RunControlReceiveWindow(const ReceiveParameters& parameters, HWND owner, bool mayStoreFolder) {
  ControlFolders folders(mayStoreFolder);
  RunReceiveWindow(parameters, owner, folders);
}

}  // namespace dovrel
