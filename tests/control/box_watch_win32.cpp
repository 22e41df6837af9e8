#include "tests/control/box_watch_win32.h"

namespace dovrel::test {
namespace {

struct Search {
  const std::wstring* caption;
  HWND found = nullptr;
};

BOOL CALLBACK FindBox(HWND window, LPARAM parameter) {
  auto* search = reinterpret_cast<Search*>(parameter);
  wchar_t className[16] = {};
  wchar_t title[64] = {};
  GetClassNameW(window, className, 16);
  GetWindowTextW(window, title, 64);
  // With no caption to look for, any message box will do.
  if (IsWindowVisible(window) && std::wstring(className) == L"#32770" &&
      (search->caption == nullptr || *search->caption == title)) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

}  // namespace

BoxWatch::BoxWatch(std::wstring caption, DWORD timeoutMs)
    : caption_(std::move(caption)), timeoutMs_(timeoutMs) {
  thread_ = std::thread([this] {
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < timeoutMs_) {
      Search search{&caption_};
      EnumWindows(FindBox, reinterpret_cast<LPARAM>(&search));
      if (search.found != nullptr) {
        wchar_t text[1024] = {};
        GetDlgItemTextW(search.found, 0xFFFF, text, 1024);
        text_ = text;
        owned_ = GetWindow(search.found, GW_OWNER) != nullptr;
        PostMessageW(search.found, WM_COMMAND, IDOK, 0);
        return;
      }
      Sleep(50);
    }
    // None with that caption came: close whatever box blocks the caller, so
    // that the test fails instead of waiting for ever.
    Search any{nullptr};
    EnumWindows(FindBox, reinterpret_cast<LPARAM>(&any));
    if (any.found != nullptr) PostMessageW(any.found, WM_COMMAND, IDOK, 0);
  });
}

BoxWatch::~BoxWatch() {
  if (thread_.joinable()) thread_.join();
}

std::wstring BoxWatch::Text() {
  if (thread_.joinable()) thread_.join();
  return text_;
}

}  // namespace dovrel::test
