// The module's session windows: the stored setting, the folder selection
// window as the folder prompt, and the main receive window's runner.
#include "control/folder_select_dialog_win32.h"
#include "control/receive_folder_setting_win32.h"
#include "control/receive_window_runner_win32.h"
#include "control/session_windows_win32.h"

namespace dovrel {
namespace {

int PromptFolder(const char* initialFolder, HWND owner, char* folder, std::size_t capacity) {
  return PromptForFolder(owner, initialFolder, folder, capacity);
}

}  // namespace

const SessionWindows& ModuleSessionWindows() {
  static const SessionWindows windows{LoadReceiveFolder, SaveReceiveFolder, PromptFolder,
                                      RunControlReceiveWindow};
  return windows;
}

}  // namespace dovrel
