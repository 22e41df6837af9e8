#pragma once
// Pictures of windows as they lie on the screen, saved as 24-bit BMP files.

#include <windows.h>

#include <string>

namespace dovrel::test {

bool SaveScreenArea(const RECT& area, const std::string& path);
// The window's rectangle, after a moment to let it paint.
bool SaveWindow(HWND window, const std::string& path);

}  // namespace dovrel::test
