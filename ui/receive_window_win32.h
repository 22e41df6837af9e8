#pragma once
// The main receive window (dialog 105) and its runner.

#include <windows.h>

#include <string>

#include "base/receive_parameters.h"

namespace dovrel {

// How the window asks for a folder and stores it: its runner's caller
// supplies them (the control: the folder prompt and the receive-folder setting).
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

}  // namespace dovrel
