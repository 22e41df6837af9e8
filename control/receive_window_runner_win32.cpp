#include "control/receive_window_runner_win32.h"

#include <string>

#include "control/folder_select_dialog_win32.h"
#include "control/receive_folder_setting_win32.h"
#include "ui/receive_window_win32.h"

namespace dovrel {
namespace {

class ControlFolders final : public FolderServices {
 public:
  int ChooseFolder(HWND owner, const std::string& current, std::string* chosen) override {
    char folder[kPathSize] = {};
    const int result = PromptForFolder(owner, current.c_str(), folder, sizeof folder);
    *chosen = folder;
    return result;
  }
  void StoreFolder(const std::string& folder) override { SaveReceiveFolder(folder.c_str()); }
};

}  // namespace

void RunControlReceiveWindow(const ReceiveParameters& parameters, HWND owner) {
  ControlFolders folders;
  RunReceiveWindow(parameters, owner, folders);
}

}  // namespace dovrel
