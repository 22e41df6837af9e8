// The receive window runner with the control's own folder selection window
// and receive-folder setting.
#include <string>

#include "control/folder_select_dialog_win32.h"
#include "control/receive_folder_setting_win32.h"
#include "ui/receive_window_win32.h"

namespace dovrel {
namespace {

class ControlFolders final : public FolderServices {
 public:
  int ChooseFolder(HWND owner, const std::string& current, std::string* chosen) override {
    FolderSelectDialog dialog;
    dialog.SetInitialFolder(current.c_str());
    const int result = dialog.Run(owner);
    char folder[kPathSize] = {};
    if (result == 1) dialog.GetFolder(folder, sizeof folder);
    *chosen = folder;
    return result;
  }
  void StoreFolder(const std::string& folder) override { SaveReceiveFolder(folder.c_str()); }
};

}  // namespace

void RunReceiveWindow(const ReceiveParameters& parameters, HWND owner) {
  ControlFolders folders;
  RunReceiveWindow(parameters, owner, folders);
}

}  // namespace dovrel
