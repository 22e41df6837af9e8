// TEMPORARY stand-ins until the windows land; this file is where they plug in.
// Replace the four functions below with:
//   loadFolder = LoadReceiveFolder, saveFolder = SaveReceiveFolder
//     (control/receive_folder_setting_win32.h);
//   promptFolder = a FolderSelectDialog (control/folder_select_dialog_win32.h):
//     SetInitialFolder(initial); end = Run(owner); if (end == 1) GetFolder(folder, capacity);
//   runReceiveWindow = RunReceiveWindow (ui/receive_window_win32.h).
#include "control/session_windows_win32.h"

namespace dovrel {
namespace {

int StandInLoadFolder(char* buffer, std::size_t size) {
  if (buffer != nullptr && size > 0) buffer[0] = '\0';
  return 0;
}

int StandInSaveFolder(const char*) { return 0; }

int StandInPromptFolder(const char*, HWND, char* folder, std::size_t capacity) {
  if (folder != nullptr && capacity > 0) folder[0] = '\0';
  return 2;  // as if cancelled
}

void StandInReceiveWindowRunner(const ReceiveParameters&, HWND) {}

}  // namespace

const SessionWindows& ModuleSessionWindows() {
  static const SessionWindows windows{StandInLoadFolder, StandInSaveFolder, StandInPromptFolder,
                                      StandInReceiveWindowRunner};
  return windows;
}

}  // namespace dovrel
