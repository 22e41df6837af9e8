#pragma once
// Drives the module's windows from a test, as Wine's conformance tests do:
// finds windows by class, caption and control id (waiting with a bound),
// reads texts and list-view rows, ticks rows, presses buttons, and reads and
// dismisses message boxes. The windows may belong to another thread or
// another process. Texts are UTF-8. Helpers returning AssertionResult are
// meant for EXPECT_TRUE/ASSERT_TRUE, so failures show the caller's line.

#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <future>
#include <string>
#include <thread>
#include <vector>

namespace dovrel::test {

inline constexpr int kDefaultWaitMs = 15000;
inline constexpr char kDialogClass[] = "#32770";

// A top-level window of `className` whose caption is `caption` (UTF-8), once
// it is visible; nullptr when none appeared within `waitMs`.
HWND WaitForWindow(const char* className, const std::string& caption, int waitMs = kDefaultWaitMs);
// The same without waiting and whether visible or not.
HWND FindWindowNow(const char* className, const std::string& caption, bool visibleOnly);
// A visible top-level window of `className` that has a control `controlId` of
// class `controlClass` (for windows without a caption).
HWND WaitForWindowWithControl(const char* className, int controlId, const char* controlClass,
                              int waitMs = kDefaultWaitMs);
// True once `window` is gone (or hidden) within `waitMs`.
bool WaitUntilGone(HWND window, int waitMs = kDefaultWaitMs);
// Polls `condition` every 10 ms until it holds or `waitMs` ran out.
bool WaitFor(const std::function<bool()>& condition, int waitMs = kDefaultWaitMs);

std::string WindowText(HWND window);
std::string ItemText(HWND dialog, int id);
void SetItemText(HWND dialog, int id, const std::string& utf8);
bool IsItemEnabled(HWND dialog, int id);
bool IsItemVisible(HWND dialog, int id);

// Posts the button's click, so a handler that opens a modal window does not
// hold up the test.
void PressButton(HWND dialog, int id);
// Posts a key press to the focused control of the window's thread.
void PressKey(HWND window, WPARAM key);
// Asks the window to close, as its close box does.
void CloseWithCloseBox(HWND window);

int ListRowCount(HWND list);
std::string ListCell(HWND list, int row, int column);
std::vector<std::string> ListColumn(HWND list, int column);
std::string ListColumnTitle(HWND list, int column);
int ListColumnWidth(HWND list, int column);
unsigned long ListExtendedStyle(HWND list);
void TickRow(HWND list, int row, bool ticked);
bool IsRowTicked(HWND list, int row);

// A message box with this caption: its text (control 0xFFFF) in `text`.
::testing::AssertionResult MessageBoxAppears(const std::string& caption, std::string* text,
                                             HWND* box, int waitMs = kDefaultWaitMs);
void DismissMessageBox(HWND box);
// Waits for the box, checks its text, dismisses it.
::testing::AssertionResult ShowsMessage(const std::string& caption, const std::string& expected,
                                        int waitMs = kDefaultWaitMs);

// Runs `body` on a thread of its own (the windows' user-interface thread).
class UiThread {
 public:
  explicit UiThread(std::function<int()> body);
  ~UiThread();
  UiThread(const UiThread&) = delete;
  UiThread& operator=(const UiThread&) = delete;
  // The body's result once it returned within `waitMs`; false otherwise.
  bool Finished(int* result, int waitMs = kDefaultWaitMs);
  DWORD ThreadId() const { return threadId_; }

 private:
  std::promise<int> result_;
  std::shared_future<int> future_;
  std::thread thread_;
  std::atomic<DWORD> threadId_{0};
};

}  // namespace dovrel::test
