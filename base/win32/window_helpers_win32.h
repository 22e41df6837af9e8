#pragma once
// Small pieces every window of the module shares: centring on the owner,
// message boxes from UTF-8 texts, and the text conversions of the window layer.

#include <windows.h>
#include <oleauto.h>

#include <string>
#include <string_view>

namespace dovrel {

// Moves `window` to the middle of its owner (a child: of its parent's client
// area), inside the work area; the size and z-order stay, nothing is activated.
void CentreOnOwner(HWND window);

// A message box owned by `owner`; texts UTF-8, flags those of MessageBox.
int ShowMessageUtf8(HWND owner, const std::string& text, const char* caption, unsigned flags);

std::wstring Utf8ToWide(std::string_view utf8);

// A control's text set from UTF-8.
void SetControlTextUtf8(HWND control, const std::string& utf8);

// A control's text in the ANSI code page, whole.
std::string ControlTextAnsi(HWND control);

// An automation string in the ANSI code page, whole.
std::string AnsiFromBstr(BSTR text);

// An automation string in UTF-8, every character as it is (no best fit).
std::string Utf8FromBstr(BSTR text);

// The ANSI code page's lead bytes, by which every window cuts its ANSI texts
// (CutAnsiText of base/ansi_text.h).
bool IsAnsiLeadByte(unsigned char byte);

// The object behind a dialog that was created with the object as its creation
// parameter: kept with the dialog from WM_INITDIALOG on; null before.
template <typename Window>
Window* DialogObject(HWND dialog, UINT message, LPARAM lParam) {
  if (message == WM_INITDIALOG) SetWindowLongPtrW(dialog, DWLP_USER, lParam);
  return reinterpret_cast<Window*>(GetWindowLongPtrW(dialog, DWLP_USER));
}

}  // namespace dovrel
