// The busy popup's own thread, pause and end.
#include <chrono>

#include "ui/busy_popup_win32.h"
#include "session/file_list_exchange.h"
#include "resources/resource_ids.h"
#include "tests/support/window_driver_win32.h"

namespace dovrel::test {
namespace {

TEST(BusyPopup, ShowsItsTextAndStoppingLeavesNeitherWindowNorThread) {
  const auto started = std::chrono::steady_clock::now();
  BusyPopupHandle handle = StartBusyPopup(kFileListBusyText);
  EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(500));
  ASSERT_TRUE(handle);
  HWND popup = WaitForWindow(kDialogClass, kBusyTitle, 5000);
  ASSERT_NE(popup, nullptr);
  EXPECT_EQ(ItemText(popup, IDC_BUSY_TEXT), kFileListBusyText);
  EXPECT_EQ(LiveBusyPopupThreads(), 1);

  StopBusyPopup(handle);
  EXPECT_FALSE(IsWindow(popup));
  EXPECT_EQ(LiveBusyPopupThreads(), 0);
  EXPECT_FALSE(handle);
}

TEST(BusyPopup, EscapeClosesItEarlyAndTheLaterStopDoesNothingVisible) {
  BusyPopupHandle handle = StartBusyPopup("데이터를 암호화하기 위한 준비과정중입니다");
  HWND popup = WaitForWindow(kDialogClass, kBusyTitle, 5000);
  ASSERT_NE(popup, nullptr);
  PressKey(popup, VK_ESCAPE);
  EXPECT_TRUE(WaitUntilGone(popup, 5000));
  EXPECT_TRUE(WaitFor([] { return LiveBusyPopupThreads() == 0; }, 5000));
  StopBusyPopup(handle);
  EXPECT_EQ(FindWindowNow(kDialogClass, kBusyTitle, false), nullptr);
}

TEST(BusyPopup, AStopRightAfterTheStartStillEndsThePopup) {
  for (int i = 0; i < 3; ++i) {
    BusyPopupHandle handle = StartBusyPopup(kFileListBusyText);
    StopBusyPopup(handle);
    EXPECT_EQ(LiveBusyPopupThreads(), 0);
    EXPECT_EQ(FindWindowNow(kDialogClass, kBusyTitle, false), nullptr);
  }
}

}  // namespace
}  // namespace dovrel::test
