#pragma once
// The window that the control gets when a host activates it in place. It
// paints nothing and gives every message the default handling.

#include <windows.h>

namespace dovrel {

HWND CreateControlWindow(HWND parent, const RECT& position);
void UnregisterControlWindowClass();  // when the module unloads

}  // namespace dovrel
