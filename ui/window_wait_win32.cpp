#include "ui/window_wait_win32.h"

namespace dovrel {
namespace {

thread_local WindowWait* current = nullptr;

bool IsStatic(HWND window) {
  wchar_t name[16] = {};
  GetClassNameW(window, name, 16);
  return lstrcmpiW(name, L"Static") == 0;
}

bool IsEscape(const MSG& message) {
  return (message.message == WM_KEYDOWN || message.message == WM_SYSKEYDOWN) &&
         message.wParam == VK_ESCAPE;
}

}  // namespace

WindowWait::WindowWait(std::initializer_list<HWND> windows, const BusyIndicator* busy)
    : busy_(busy), outer_(current) {
  for (HWND window : windows) {
    if (window != nullptr) windows_.push_back(window);
  }
  current = this;
}

void WindowWait::DisableControls() {
  controlsOff_ = true;
  const HWND focus = GetFocus();
  for (HWND window : windows_) {
    if (focus != nullptr && IsChild(window, focus)) focus_ = focus;
    for (HWND child = GetWindow(window, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
      if (IsStatic(child) || !IsWindowEnabled(child)) continue;
      EnableWindow(child, FALSE);
      disabled_.push_back(child);
    }
  }
}

WindowWait::~WindowWait() {
  current = outer_;
  for (HWND child : disabled_) {
    if (IsWindow(child)) EnableWindow(child, TRUE);
  }
  // Disabling took the focus away; give it back where the user left it,
  // unless the user has gone elsewhere meanwhile.
  if (focus_ != nullptr && IsWindow(focus_) && GetFocus() == nullptr &&
      GetActiveWindow() == GetAncestor(focus_, GA_ROOT)) {
    SetFocus(focus_);
  }
}

bool WindowWait::Continue() {
  if (!controlsOff_) DisableControls();
  MSG message;
  while (!abandoned_ && PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      // Meant for the loop outside: put it back and stop waiting.
      PostQuitMessage(static_cast<int>(message.wParam));
      abandoned_ = true;
      break;
    }
    if (IsEscape(message) && Watches(message.hwnd)) {
      abandoned_ = true;
      break;
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  if (busy_ != nullptr && busy_->Dismissed()) abandoned_ = true;
  return !abandoned_;
}

WindowWait* WindowWait::Current() { return current; }

bool WindowWait::Watches(HWND window) const {
  for (HWND watched : windows_) {
    if (window == watched || IsChild(watched, window)) return true;
  }
  return false;
}

}  // namespace dovrel
