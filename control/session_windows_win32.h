#pragma once
// Where a receive session meets the windows and the stored setting: the
// folder setting, the folder prompt and the receive window runner. The module
// wires the real ones in session_windows_wiring_win32.cpp.

#include <windows.h>

#include <cstddef>

#include "base/receive_parameters.h"

namespace dovrel {

struct SessionWindows {
  int (*loadFolder)(char* buffer, std::size_t size);  // -1: a folder is stored
  int (*saveFolder)(const char* text);
  // Runs the folder prompt owned by `owner`: its end code (1 for OK) and,
  // after OK, the folder the user confirmed.
  int (*promptFolder)(const char* initialFolder, HWND owner, char* folder, std::size_t capacity);
  void (*runReceiveWindow)(const ReceiveParameters& parameters, HWND owner);
};

const SessionWindows& ModuleSessionWindows();

}  // namespace dovrel
