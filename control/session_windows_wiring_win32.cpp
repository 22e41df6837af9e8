// The module's session windows: the stored setting, the folder selection
// window as the folder prompt, and the main receive window's runner.
#include "control/folder_select_dialog_win32.h"
#include "control/receive_folder_setting_win32.h"
#include "control/session_windows_win32.h"
#include "ui/receive_window_win32.h"

namespace dovrel {
namespace {

int PromptFolder(const char* initialFolder, HWND owner, char* folder, std::size_t capacity) {
  FolderSelectDialog dialog;
  dialog.SetInitialFolder(initialFolder);
  const int end = dialog.Run(owner);
  if (end == 1) dialog.GetFolder(folder, capacity);
  return end;
}

void RunWindow(const ReceiveParameters& parameters, HWND owner) {
  RunReceiveWindow(parameters, owner);
}

}  // namespace

const SessionWindows& ModuleSessionWindows() {
  static const SessionWindows windows{LoadReceiveFolder, SaveReceiveFolder, PromptFolder,
                                      RunWindow};
  return windows;
}

}  // namespace dovrel
