#include "control/control_window_win32.h"

#include "control/module_state_win32.h"

namespace dovrel {
namespace {

constexpr wchar_t kClassName[] = L"DovrelPelgrathWindow";

LRESULT CALLBACK ControlWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_PAINT) {
    PAINTSTRUCT paint;
    BeginPaint(window, &paint);  // nothing to draw
    EndPaint(window, &paint);
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

HWND CreateControlWindow(HWND parent, const RECT& position) {
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = ControlWindowProc;
  windowClass.hInstance = ModuleInstance();
  windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
  windowClass.lpszClassName = kClassName;
  RegisterClassW(&windowClass);  // fails harmlessly once registered
  return CreateWindowExW(0, kClassName, L"", WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN,
                         position.left, position.top, position.right - position.left,
                         position.bottom - position.top, parent, nullptr, ModuleInstance(),
                         nullptr);
}

void UnregisterControlWindowClass() { UnregisterClassW(kClassName, ModuleInstance()); }

}  // namespace dovrel
