#include "tests/windows/session_walk_win32.h"

#include "tests/windows/driver_win32.h"

namespace dovrel::test {
namespace {

constexpr int kFolderEdit = 202, kServerList = 206, kReceive = 212, kClose = 213;

void Report(const SessionStep& onStep, const char* step, HWND window) {
  if (onStep) onStep(step, window);
}

}  // namespace

::testing::AssertionResult WalkReceiveSession(const std::string& folder,
                                              std::vector<std::string>* listed,
                                              const SessionStep& onStep, int waitMs) {
  // The script host's first start in a prefix takes its time.
  HWND prompt = WaitForWindow(kDialogClass, "폴더 선택", waitMs);
  if (prompt == nullptr) return ::testing::AssertionFailure() << "no folder prompt \"폴더 선택\"";
  const std::string shown = ItemText(prompt, kFolderEdit);
  if (!shown.empty())
    return ::testing::AssertionFailure() << "the folder prompt shows \"" << shown << "\"";
  Report(onStep, "folder-prompt", prompt);
  SetItemText(prompt, kFolderEdit, folder);
  Report(onStep, "folder-typed", prompt);
  PressButton(prompt, IDOK);
  if (!WaitUntilGone(prompt))
    return ::testing::AssertionFailure() << "the folder prompt stayed open";

  HWND window = WaitForWindow(kDialogClass, "자료 수신", waitMs);
  if (window == nullptr) return ::testing::AssertionFailure() << "no main window \"자료 수신\"";
  HWND list = GetDlgItem(window, kServerList);
  if (!WaitFor([&] { return ListRowCount(list) > 0; }, waitMs)) {
    return ::testing::AssertionFailure() << "the main window lists no files";
  }
  *listed = ListColumn(list, 0);
  for (int row = 0; row < ListRowCount(list); ++row) TickRow(list, row, true);
  Report(onStep, "listed", window);

  PressButton(window, kReceive);
  HWND summary = WaitForWindow(kDialogClass, "전송 결과", waitMs);
  if (summary == nullptr) return ::testing::AssertionFailure() << "no summary \"전송 결과\"";
  Report(onStep, "summary", summary);
  DismissMessageBox(summary);
  if (!WaitUntilGone(summary)) return ::testing::AssertionFailure() << "the summary stayed open";
  Report(onStep, "received", window);

  PressButton(window, kClose);
  if (!WaitUntilGone(window)) return ::testing::AssertionFailure() << "the main window stayed open";
  return ::testing::AssertionSuccess();
}

}  // namespace dovrel::test
