// The progress window over real key exchanges and transfers with the
// reference server.
#include <windows.h>
#include <commctrl.h>

#include <filesystem>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "base/message_box.h"
#include "session/key_exchange.h"
#include "ui/progress_window_win32.h"
#include "resources/resource_ids.h"
#include "tests/support/temp_folder.h"
#include "tests/support/window_driver_win32.h"
#include "tests/support/window_test_support_win32.h"
#include "ui/busy_popup_win32.h"
#include "ui/resource_module_win32.h"

namespace dovrel::test {
namespace {

// The progress window has no caption: it is the dialog with the progress bar.
HWND ProgressWindowShown(int waitMs) {
  return WaitForWindowWithControl(kDialogClass, IDC_PROGRESS_BAR, PROGRESS_CLASSA, waitMs);
}

std::vector<TransferItem> ItemsIn(const TempFolder& folder, const std::vector<std::string>& names) {
  std::vector<TransferItem> items(names.size());
  for (std::size_t i = 0; i < names.size(); ++i) {
    SetFieldText(items[i].fileName, names[i]);
    SetFieldText(items[i].localPath, folder.File(names[i]));
  }
  return items;
}

class ProgressWindowTest : public WindowTest {
 protected:
  void Start(const std::string& scenario, const std::vector<std::string>& names) {
    ASSERT_TRUE(Serve(scenario));
    items_ = ItemsIn(folder_, names);
    window_ = std::make_unique<ProgressWindow>(ResourceModule(), busy_);
    window_->Setup(items_.data(), static_cast<int>(items_.size()),
                   ParametersFor(*server_, folder_.Text(), kSampleDate));
    ui_ = std::make_unique<UiThread>([this] { return window_->Run(nullptr); });
  }

  std::vector<TransferItem> items_;
  BusyPopup busy_;
  std::unique_ptr<ProgressWindow> window_;
};

TEST_F(ProgressWindowTest, AFailedKeyExchangeNeverShowsTheWindow) {
  const struct {
    const char* scenario;
    const char* message;  // nullptr: none
  } cases[] = {
      {"keyexchg-refused", kNoConnectionText}, {"bad-signed-data", nullptr},  // the rest: natively
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.scenario);
    Start(c.scenario, {"107a.txt"});
    if (c.message != nullptr) {
      std::string text;
      HWND box = nullptr;
      ASSERT_TRUE(MessageBoxAppears(kCaptionNotice, &text, &box));
      EXPECT_EQ(text, c.message);
      EXPECT_EQ(ProgressWindowShown(0), nullptr);
      EXPECT_EQ(LiveBusyPopupThreads(), 0);
      DismissMessageBox(box);
    }
    int result = 0;
    ASSERT_TRUE(ui_->Finished(&result));
    EXPECT_EQ(result, 2);
    EXPECT_EQ(items_[0].done, 0);
    ui_.reset();
  }
}

BOOL CALLBACK KeepDialog(HWND window, LPARAM found) {
  char name[16] = {};
  GetClassNameA(window, name, sizeof name);
  if (std::string(name) != kDialogClass) return TRUE;
  *reinterpret_cast<HWND*>(found) = window;
  return FALSE;
}

// INIT withheld: the hidden window's thread keeps answering while the key
// exchange waits, and Esc on the busy popup ends the wait with the message of
// the reply's time-out.
TEST_F(ProgressWindowTest, AStalledKeyExchangeKeepsItsThreadAnsweringAndEscapeEndsIt) {
  Start("init-silent", {"107a.txt"});
  HWND popup = WaitForWindow(kDialogClass, kBusyTitle, 5000);
  ASSERT_NE(popup, nullptr);
  Sleep(1000);
  HWND window = nullptr;
  EnumThreadWindows(ui_->ThreadId(), KeepDialog, reinterpret_cast<LPARAM>(&window));
  ASSERT_NE(window, nullptr);
  DWORD_PTR answer = 0;
  EXPECT_NE(SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 1000, &answer), 0);
  const ULONGLONG pressed = GetTickCount64();
  PressKey(popup, VK_ESCAPE);
  std::string text;
  HWND box = nullptr;
  ASSERT_TRUE(MessageBoxAppears(kCaptionNotice, &text, &box, 3000));
  EXPECT_LT(GetTickCount64() - pressed, 3000u);
  EXPECT_EQ(text, kNoSkeyText);
  EXPECT_EQ(ProgressWindowShown(0), nullptr);
  DismissMessageBox(box);
  int result = 0;
  ASSERT_TRUE(ui_->Finished(&result, 3000));
  EXPECT_EQ(result, 2);
}

TEST_F(ProgressWindowTest, ShowsTheWorkersTextsAndEndsWhenItHasFinished) {
  Start("plain", {"107a.txt", "statement.dat"});
  HWND window = ProgressWindowShown(kDefaultWaitMs);
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(WindowText(window), kPreparingTransferText);
  EXPECT_NE(SendMessageW(GetDlgItem(window, IDCANCEL), BM_GETIMAGE, IMAGE_BITMAP, 0), 0);
  EXPECT_FALSE(IsItemVisible(window, IDOK));
  std::set<std::string> counts;
  std::string size;
  std::string name;
  while (IsWindow(window)) {
    const std::string count = ItemText(window, IDC_PROGRESS_COUNT);
    if (!count.empty()) counts.insert(count);
    const std::string shownSize = ItemText(window, IDC_PROGRESS_SIZE);
    if (!shownSize.empty()) size = shownSize;
    const std::string shownName = ItemText(window, IDC_PROGRESS_FILE_NAME);
    if (!shownName.empty()) name = shownName;
    Sleep(5);
  }
  int result = 0;
  ASSERT_TRUE(ui_->Finished(&result));
  EXPECT_EQ(result, 1);
  EXPECT_TRUE(counts.count("2개중  2번째")) << "the counter of the last item";
  EXPECT_EQ(name, "statement.dat");
  // The whole reply of the last file: "<received+1> of <total>".
  EXPECT_TRUE(std::regex_match(size, std::regex(R"(\d+(Byte|KB) of \d+\.\dKB)"))) << size;
  EXPECT_EQ(items_[0].done, 1);
  EXPECT_EQ(items_[1].done, 1);
  EXPECT_EQ(ReadFileBytes(folder_.File("statement.dat")),
            ReadFileBytes(FixtureRoot() + "/20261208/statement.dat"));
}

TEST_F(ProgressWindowTest, CancelEndsWithinTheCurrentItemWithTerminateSentAndResultOne) {
  Start("get-slow", {"107a.txt", "107B.TXT", "statement.dat"});
  const int terminatesBefore = server_->CountRequests("TERMINATE");
  ASSERT_GE(terminatesBefore, 0) << "the scenario traces its requests";
  folder_.Write("107a.txt", "the copy already there");
  HWND window = ProgressWindowShown(kDefaultWaitMs);
  ASSERT_NE(window, nullptr);
  ASSERT_TRUE(
      WaitFor([&] { return ItemText(window, IDC_PROGRESS_STATUS) == "응답을 기다리고 있습니다"; }));
  PressButton(window, IDCANCEL);
  int result = 0;
  // Well before the server's delayed reply: the worker gives the item up
  // within a second, and the timer ends the window a second after that.
  ASSERT_TRUE(ui_->Finished(&result, 3000));
  EXPECT_EQ(result, 1);
  EXPECT_EQ(server_->CountRequests("TERMINATE"), terminatesBefore + 1);
  EXPECT_EQ(items_[0].done, 0) << "the current item is given up";
  EXPECT_EQ(ReadFileBytes(folder_.File("107a.txt")), "the copy already there");
  EXPECT_EQ(items_[1].done, 0);
  EXPECT_EQ(items_[2].done, 0);
}

TEST_F(ProgressWindowTest, OkWhileTheWorkerRunsEndsTheWindowAtOnce) {
  Start("get-slow", {"107a.txt", "107B.TXT"});
  HWND window = ProgressWindowShown(kDefaultWaitMs);
  ASSERT_NE(window, nullptr);
  ASSERT_TRUE(WaitFor([&] { return ItemText(window, IDC_PROGRESS_COUNT) == "2개중  1번째"; }));
  PostMessageW(window, WM_COMMAND, IDOK, 0);
  int result = 0;
  // Well before the server's delayed reply: the window does not wait for the worker.
  ASSERT_TRUE(ui_->Finished(&result, 3500));
  EXPECT_EQ(result, 1);
  // The worker sees the window has ended at its next wait slice, gives its
  // item up and stops: whether it still runs at this moment is a race.
  EXPECT_TRUE(TransfersAllEnded());
  EXPECT_FALSE(std::filesystem::exists(folder_.File("107B.TXT")));
}

}  // namespace
}  // namespace dovrel::test
