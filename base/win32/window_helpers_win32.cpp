#include "base/win32/window_helpers_win32.h"

#include <climits>

#include "base/win32/window_placement.h"

namespace dovrel {
namespace {

Area ToArea(const RECT& rect) { return {rect.left, rect.top, rect.right, rect.bottom}; }

std::string WideToPage(UINT page, std::wstring_view wide) {
  if (wide.empty() || wide.size() > static_cast<std::size_t>(INT_MAX)) return std::string();
  const int length = static_cast<int>(wide.size());
  const int needed =
      WideCharToMultiByte(page, 0, wide.data(), length, nullptr, 0, nullptr, nullptr);
  if (needed <= 0) return std::string();
  std::string out(static_cast<std::size_t>(needed), '\0');
  WideCharToMultiByte(page, 0, wide.data(), length, &out[0], needed, nullptr, nullptr);
  return out;
}

std::wstring ControlTextWide(HWND control) {
  const int length = GetWindowTextLengthW(control);
  if (length <= 0) return std::wstring();
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  const int copied = GetWindowTextW(control, &text[0], length + 1);
  text.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
  return text;
}

}  // namespace

void CentreOnOwner(HWND window) {
  RECT own;
  if (!GetWindowRect(window, &own)) return;
  const int width = own.right - own.left;
  const int height = own.bottom - own.top;
  const bool child = (GetWindowLongPtrW(window, GWL_STYLE) & WS_CHILD) != 0;
  HWND reference = child ? GetParent(window) : GetWindow(window, GW_OWNER);

  RECT bound;
  RECT area;
  if (child) {
    GetClientRect(reference, &bound);
    GetWindowRect(reference, &area);
    MapWindowPoints(nullptr, reference, reinterpret_cast<POINT*>(&area), 2);
  } else {
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &bound, 0);
    if (reference == nullptr || !IsWindowVisible(reference) || IsIconic(reference)) {
      area = bound;
    } else {
      GetWindowRect(reference, &area);
    }
  }
  const Point at = CentrePosition(ToArea(area), ToArea(bound), width, height);
  SetWindowPos(window, nullptr, at.x, at.y, -1, -1, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

int ShowMessageUtf8(HWND owner, const std::string& text, const char* caption, unsigned flags) {
  return MessageBoxW(owner, Utf8ToWide(text).c_str(), Utf8ToWide(caption).c_str(), flags);
}

std::wstring Utf8ToWide(std::string_view utf8) {
  if (utf8.empty() || utf8.size() > static_cast<std::size_t>(INT_MAX)) return std::wstring();
  const int length = static_cast<int>(utf8.size());
  const int needed = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, nullptr, 0);
  if (needed <= 0) return std::wstring();
  std::wstring out(static_cast<std::size_t>(needed), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, &out[0], needed);
  return out;
}

void SetControlTextUtf8(HWND control, const std::string& utf8) {
  SetWindowTextW(control, Utf8ToWide(utf8).c_str());
}

std::string ControlTextAnsi(HWND control) { return WideToPage(CP_ACP, ControlTextWide(control)); }

std::string AnsiFromBstr(BSTR text) {
  return WideToPage(CP_ACP, std::wstring_view(text, SysStringLen(text)));
}

std::string Utf8FromBstr(BSTR text) {
  return WideToPage(CP_UTF8, std::wstring_view(text, SysStringLen(text)));
}

bool IsAnsiLeadByte(unsigned char byte) { return IsDBCSLeadByte(byte) != FALSE; }

}  // namespace dovrel
