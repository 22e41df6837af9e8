#include "tests/support/session_walk_win32.h"

#include <chrono>

#include "resources/resource_ids.h"
#include "tests/support/window_driver_win32.h"

namespace dovrel::test {
namespace {

void Report(const SessionStep& onStep, const char* step, HWND window) {
  if (onStep) onStep(step, window);
}

// The window fills its list row by row after the query (slowly where 32-bit
// programs run through emulation): the rows count once their number has held
// for half a second.
bool WaitForSettledRows(HWND list, int waitMs) {
  int rows = 0;
  auto since = std::chrono::steady_clock::now();
  return WaitFor(
      [&] {
        const int now = ListRowCount(list);
        if (now != rows) {
          rows = now;
          since = std::chrono::steady_clock::now();
          return false;
        }
        return rows > 0 &&
               std::chrono::steady_clock::now() - since >= std::chrono::milliseconds(500);
      },
      waitMs);
}

// Ticks every row, again where a tick did not hold.
bool TickEveryRow(HWND list, int waitMs) {
  return WaitFor(
      [&] {
        bool all = true;
        for (int row = 0; row < ListRowCount(list); ++row) {
          if (IsRowTicked(list, row)) continue;
          TickRow(list, row, true);
          all = false;
        }
        return all;
      },
      waitMs);
}

}  // namespace

::testing::AssertionResult WalkReceiveSession(const std::string& folder,
                                              std::vector<std::string>* listed,
                                              const SessionStep& onStep, int waitMs) {
  // The script host's first start in a prefix takes its time.
  HWND prompt = WaitForWindow(kDialogClass, "폴더 선택", waitMs);
  if (prompt == nullptr) return ::testing::AssertionFailure() << "no folder prompt \"폴더 선택\"";
  const std::string shown = ItemText(prompt, IDC_FOLDER_EDIT);
  if (!shown.empty())
    return ::testing::AssertionFailure() << "the folder prompt shows \"" << shown << "\"";
  Report(onStep, "folder-prompt", prompt);
  SetItemText(prompt, IDC_FOLDER_EDIT, folder);
  Report(onStep, "folder-typed", prompt);
  PressButton(prompt, IDOK);
  if (!WaitUntilGone(prompt))
    return ::testing::AssertionFailure() << "the folder prompt stayed open";

  HWND window = WaitForWindow(kDialogClass, "자료 수신", waitMs);
  if (window == nullptr) return ::testing::AssertionFailure() << "no main window \"자료 수신\"";
  HWND list = GetDlgItem(window, IDC_RECEIVE_SERVER_LIST);
  if (!WaitForSettledRows(list, waitMs)) {
    return ::testing::AssertionFailure() << "the main window lists no files";
  }
  *listed = ListColumn(list, 0);
  if (!TickEveryRow(list, waitMs)) return ::testing::AssertionFailure() << "the ticks did not hold";
  Report(onStep, "listed", window);

  PressButton(window, IDC_RECEIVE_RECEIVE);
  HWND summary = WaitForWindow(kDialogClass, "전송 결과", waitMs);
  if (summary == nullptr) return ::testing::AssertionFailure() << "no summary \"전송 결과\"";
  Report(onStep, "summary", summary);
  DismissMessageBox(summary);
  if (!WaitUntilGone(summary)) return ::testing::AssertionFailure() << "the summary stayed open";
  Report(onStep, "received", window);

  PressButton(window, IDC_RECEIVE_CLOSE);
  if (!WaitUntilGone(window)) return ::testing::AssertionFailure() << "the main window stayed open";
  return ::testing::AssertionSuccess();
}

void AbandonReceiveSession(int waitMs) {
  WaitFor(
      [] {
        bool found = false;
        for (const char* box : {"알림", "오류", "전송 결과"}) {
          if (HWND window = FindWindowNow(kDialogClass, box, true)) {
            DismissMessageBox(window);
            found = true;
          }
        }
        if (HWND prompt = FindWindowNow(kDialogClass, "폴더 선택", true)) {
          PressButton(prompt, IDCANCEL);
          found = true;
        }
        if (HWND window = FindWindowNow(kDialogClass, "자료 수신", true)) {
          PressButton(window, IDC_RECEIVE_CLOSE);
          found = true;
        }
        return !found;
      },
      waitMs);
}

}  // namespace dovrel::test
