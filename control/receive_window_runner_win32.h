#pragma once
// The receive window runner that the entry calls: the main receive window
// with the folder prompt behind "변경" and the receive-folder setting to
// store what it chose.

#include <windows.h>

#include "base/receive_parameters.h"

namespace dovrel {

// Runs the window modally with a copy of the parameters, owned by `owner`;
// returns when it has closed. A folder chosen with "변경" is stored only where
// `mayStoreFolder`; it serves the window either way.
void RunControlReceiveWindow(const ReceiveParameters& parameters, HWND owner,
                             bool mayStoreFolder = true);

}  // namespace dovrel
