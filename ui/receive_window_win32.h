#pragma once
// The main receive window (dialog 105) and its runner.

#include <windows.h>

#include <string>

#include "base/receive_parameters.h"

namespace dovrel {

// The folder selection window and the receive-folder setting, which live
// with the control; the window reaches them through this.
class FolderServices {
 public:
  virtual ~FolderServices() = default;
  // 1 when the user confirmed a folder, which is then in `chosen` (ANSI).
  virtual int ChooseFolder(HWND owner, const std::string& current, std::string* chosen) = 0;
  virtual void StoreFolder(const std::string& folder) = 0;
};

// Runs the window modally with a copy of the parameters; returns when it has
// closed (1 for "종  료" or command 1, 2 for Esc or the close box).
int RunReceiveWindow(const ReceiveParameters& parameters, HWND owner, FolderServices& folders);

// The same with the control's folder selection window and setting. Defined
// with them (library dovrel_control_windows).
void RunReceiveWindow(const ReceiveParameters& parameters, HWND owner);

}  // namespace dovrel
