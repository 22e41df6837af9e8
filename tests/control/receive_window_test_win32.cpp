// The main receive window against the reference server, through the runner.
#include <algorithm>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "control/receive_folder_setting_win32.h"
#include "control/receive_window_runner_win32.h"
#include "base/message_box.h"
#include "ui/progress_window_win32.h"
#include "resources/resource_ids.h"
#include "tests/support/temp_folder.h"
#include "tests/support/window_driver_win32.h"
#include "tests/support/window_test_support_win32.h"
#include "ui/busy_popup_win32.h"
#include "session/file_list_exchange.h"
#include "ui/receive_actions.h"

namespace dovrel::test {
namespace {

constexpr char kCaption[] = "자료 수신";
constexpr int kServerList = 206, kLocalList = 207, kReceivedList = 208;

const std::set<std::string> kSampleFiles = {"107B.TXT",    "107a.txt",   "107empty.txt",
                                            "107자료.txt", "readme.rst", "statement.dat"};

std::set<std::string> Rows(HWND window, int list) {
  const std::vector<std::string> names = ListColumn(GetDlgItem(window, list), 0);
  return std::set<std::string>(names.begin(), names.end());
}

int RowOf(HWND list, const std::string& name) {
  const std::vector<std::string> names = ListColumn(list, 0);
  const auto at = std::find(names.begin(), names.end(), name);
  return at == names.end() ? -1 : static_cast<int>(at - names.begin());
}

class ReceiveWindowTest : public WindowTest {
 protected:
  // Opens the window through the runner with the control's folder window and setting.
  void Open(const std::string& scenario, const std::string& date = kSampleDate) {
    ASSERT_TRUE(Serve(scenario));
    const ReceiveParameters parameters = ParametersFor(*server_, folder_.Text(), date);
    ui_ = std::make_unique<UiThread>([parameters] {
      RunControlReceiveWindow(parameters, nullptr);
      return 0;
    });
  }
  HWND OpenShown(const std::string& scenario, const std::string& date = kSampleDate) {
    Open(scenario, date);
    return HasFatalFailure() ? nullptr : Shown();
  }
  HWND Shown() {
    HWND window = WaitForWindow(kDialogClass, kCaption);
    EXPECT_NE(window, nullptr);
    return window;
  }
  void Close(HWND window) {
    PressButton(window, IDC_RECEIVE_CLOSE);
    int result = 0;
    EXPECT_TRUE(ui_->Finished(&result));
  }
};

TEST_F(ReceiveWindowTest, OpensWithTheDaysFilesTickableAndItsColumns) {
  folder_.Write("107here.txt", "12345");
  HWND window = OpenShown("plain");
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(ItemText(window, IDC_RECEIVE_DATE_EDIT), kSampleDate);
  EXPECT_EQ(ItemText(window, IDC_RECEIVE_FOLDER_EDIT), folder_.Text());
  EXPECT_EQ(Rows(window, kServerList), kSampleFiles);
  EXPECT_EQ(ListExtendedStyle(GetDlgItem(window, kServerList)), 0x425u);
  EXPECT_EQ(ListExtendedStyle(GetDlgItem(window, kLocalList)), 0x421u);
  EXPECT_EQ(ListExtendedStyle(GetDlgItem(window, kReceivedList)), 0x421u);
  const struct {
    int list, column;
    const char* title;
    int width;
  } columns[] = {{kServerList, 0, "파일명", 200},
                 {kLocalList, 0, "파일명", 150},
                 {kLocalList, 1, "수정날짜", 100},
                 {kLocalList, 2, "크기", 70},
                 {kReceivedList, 0, "파일명", 250}};
  for (const auto& c : columns) {
    EXPECT_EQ(ListColumnTitle(GetDlgItem(window, c.list), c.column), c.title);
    EXPECT_EQ(ListColumnWidth(GetDlgItem(window, c.list), c.column), c.width);
  }
  HWND local = GetDlgItem(window, kLocalList);
  ASSERT_EQ(ListRowCount(local), 1);
  EXPECT_EQ(ListCell(local, 0, 0), "107here.txt");
  EXPECT_EQ(ListCell(local, 0, 2), "5");
  HWND list = GetDlgItem(window, kServerList);
  EXPECT_FALSE(IsRowTicked(list, 0));
  TickRow(list, 0, true);
  EXPECT_TRUE(IsRowTicked(list, 0));
  Close(window);
}

TEST_F(ReceiveWindowTest, SearchAllAsksForEveryDateAndKeepsTheDateShown) {
  HWND window = OpenShown("plain");
  ASSERT_NE(window, nullptr);
  PressButton(window, IDC_RECEIVE_SEARCH_ALL);
  // The popup takes the activation from this window and still shows while
  // the window's thread waits for the server.
  HWND popup = WaitForWindow(kDialogClass, kBusyTitle, 3000);
  ASSERT_NE(popup, nullptr);
  EXPECT_EQ(ItemText(popup, IDC_BUSY_TEXT), kFileListBusyText);
  // "00000000" lists every date folder: the older day's file appears too.
  EXPECT_TRUE(WaitFor([&] { return Rows(window, kServerList).count("107old.txt") == 1; }));
  // The date goes back once the query has returned, just after the rows.
  EXPECT_TRUE(WaitFor([&] { return ItemText(window, IDC_RECEIVE_DATE_EDIT) == kSampleDate; }, 5000))
      << ItemText(window, IDC_RECEIVE_DATE_EDIT);
  Close(window);
}

TEST_F(ReceiveWindowTest, ASevenCharacterDateGivesTheDateMessageAndKeepsTheList) {
  HWND window = OpenShown("plain");
  ASSERT_NE(window, nullptr);
  SetItemText(window, IDC_RECEIVE_DATE_EDIT, "2026120");
  PressButton(window, IDC_RECEIVE_SEARCH);
  std::string text;
  HWND box = nullptr;
  ASSERT_TRUE(MessageBoxAppears(kCaptionNotice, &text, &box));
  EXPECT_EQ(text, kBadDateText);
  EXPECT_EQ(LiveBusyPopupThreads(), 0) << "nothing is asked of the server";
  DismissMessageBox(box);
  EXPECT_EQ(Rows(window, kServerList), kSampleFiles);
  Close(window);
}

// Each failure's message is the query's own; the window shows it only once
// the popup is gone, and keeps an empty list.
TEST_F(ReceiveWindowTest, AQueryFailureShowsItsMessageAfterThePopupIsGone) {
  Open("getlist-error");
  std::string text;
  HWND box = nullptr;
  ASSERT_TRUE(MessageBoxAppears(kCaptionNotice, &text, &box));
  EXPECT_EQ(text, FormatServerError(12, ""));
  EXPECT_EQ(LiveBusyPopupThreads(), 0);
  EXPECT_EQ(FindWindowNow(kDialogClass, kBusyTitle, false), nullptr);
  DismissMessageBox(box);
  HWND window = Shown();
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(ListRowCount(GetDlgItem(window, kServerList)), 0);
  Close(window);
}

// A query the server keeps waiting (INIT withheld): the window opens without
// one (no date) and is asked to search.
class StalledQueryTest : public ReceiveWindowTest {
 protected:
  HWND SearchAndWait() {
    Open("init-silent", "");
    HWND window = Shown();
    if (window == nullptr) return nullptr;
    SetItemText(window, IDC_RECEIVE_DATE_EDIT, kSampleDate);
    PressButton(window, IDC_RECEIVE_SEARCH);
    popup_ = WaitForWindow(kDialogClass, kBusyTitle, 5000);
    EXPECT_NE(popup_, nullptr);
    Sleep(1000);  // past the popup's pause: the query waits for the server now
    return window;
  }
  // The message a time-out would have given, promptly.
  void ExpectTheTimeOutsMessageWithin(ULONGLONG since, ULONGLONG ms) {
    std::string text;
    HWND box = nullptr;
    ASSERT_TRUE(MessageBoxAppears(kCaptionNotice, &text, &box, static_cast<int>(ms)));
    EXPECT_LT(GetTickCount64() - since, ms);
    EXPECT_EQ(text, kNoResultCodeText);
    EXPECT_EQ(LiveBusyPopupThreads(), 0);
    DismissMessageBox(box);
  }
  HWND popup_ = nullptr;
};

TEST_F(StalledQueryTest, TheWindowAnswersAndRepaintsWithItsCommandsOffAndClosingEndsTheWait) {
  HWND window = SearchAndWait();
  ASSERT_NE(window, nullptr);
  for (int i = 0; i < 3; ++i) {
    DWORD_PTR answer = 0;
    const ULONGLONG asked = GetTickCount64();
    EXPECT_NE(SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 1000, &answer), 0);
    EXPECT_LT(GetTickCount64() - asked, 1000u);
    InvalidateRect(window, nullptr, TRUE);
    EXPECT_TRUE(WaitFor([&] { return GetUpdateRect(window, nullptr, FALSE) == FALSE; }, 1000))
        << "not repainted";
    Sleep(200);
  }
  for (int id : {202, 203, 204, 205, 206, 207, 208, 209, 211, 212, 213})
    EXPECT_FALSE(IsItemEnabled(window, id)) << id;
  const ULONGLONG closed = GetTickCount64();
  CloseWithCloseBox(window);
  ExpectTheTimeOutsMessageWithin(closed, 3000);
  int result = 0;
  EXPECT_TRUE(ui_->Finished(&result, 3000)) << "the window closes after the message";
}

TEST_F(StalledQueryTest, EscapeOnThePopupEndsTheWaitAndTheWindowStaysWithItsCommands) {
  HWND window = SearchAndWait();
  ASSERT_NE(window, nullptr);
  const ULONGLONG pressed = GetTickCount64();
  PressKey(popup_, VK_ESCAPE);
  ExpectTheTimeOutsMessageWithin(pressed, 3000);
  EXPECT_TRUE(WaitFor(
      [&] {
        return IsItemEnabled(window, IDC_RECEIVE_SEARCH) &&
               IsItemEnabled(window, IDC_RECEIVE_RECEIVE);
      },
      2000));
  EXPECT_FALSE(IsItemEnabled(window, IDOK)) << "stays as the template has it";
  EXPECT_TRUE(IsWindowVisible(window));
  Close(window);
}

// Each check's message and their order are the native tests'; here the
// folder checks meet the real file system, with a Korean name.
TEST_F(ReceiveWindowTest, ReceiveChecksTheFolderOnTheFileSystem) {
  folder_.Write("a-file", "x");
  HWND window = OpenShown("plain");
  ASSERT_NE(window, nullptr);
  TickRow(GetDlgItem(window, kServerList), 0, true);
  const std::string missing = folder_.Text() + "\\없는폴더";
  SetItemText(window, IDC_RECEIVE_FOLDER_EDIT, missing);
  PressButton(window, IDC_RECEIVE_RECEIVE);
  EXPECT_TRUE(ShowsMessage(kCaptionNotice,
                           "수신파일저장폴더로 지정한\n" + missing + " 가 존재하지 않습니다"));

  const std::string file = folder_.File("a-file");
  SetItemText(window, IDC_RECEIVE_FOLDER_EDIT, file);
  PressButton(window, IDC_RECEIVE_RECEIVE);
  EXPECT_TRUE(ShowsMessage(kCaptionNotice,
                           "수신파일저장폴더로 지정한\n" + file + " 는 디렉토리가 아닙니다"));
  EXPECT_EQ(ListRowCount(GetDlgItem(window, kReceivedList)), 0);
  Close(window);
}

TEST_F(ReceiveWindowTest, ReceivesTheTickedFilesAndSumsUpWhenTheServerRefusesOne) {
  HWND window = OpenShown("refuse-one-file");
  ASSERT_NE(window, nullptr);
  HWND list = GetDlgItem(window, kServerList);
  for (const char* name : {"107a.txt", "107B.TXT", "statement.dat"}) {
    const int row = RowOf(list, name);
    ASSERT_GE(row, 0) << name;
    TickRow(list, row, true);
  }
  PressButton(window, IDC_RECEIVE_RECEIVE);
  EXPECT_TRUE(ShowsMessage(
      kCaptionTransferResult,
      "파일 수신 결과 입니다\n    총 파일수 :   3\n    성공 :   2\n    실패 :   1", 60000));
  // In the order of the server list's rows.
  std::vector<std::string> expected;
  for (const std::string& name : ListColumn(list, 0)) {
    if (name == "107a.txt" || name == "statement.dat") expected.push_back(name);
  }
  EXPECT_EQ(ListColumn(GetDlgItem(window, kReceivedList), 0), expected);
  EXPECT_EQ(ListColumn(GetDlgItem(window, kLocalList), 0), std::vector<std::string>{"107a.txt"});
  EXPECT_EQ(ReadFileBytes(folder_.File("statement.dat")),
            ReadFileBytes(FixtureRoot() + "/20261208/statement.dat"));
  EXPECT_FALSE(std::filesystem::exists(folder_.File("107B.TXT")));
  Close(window);
}

// The window owns what it opens, so it is disabled while they are open, also
// when another window had the activation at the moment of the command.
TEST_F(ReceiveWindowTest, TheFolderWindowIsOwnedByThisWindowWhenAnotherIsActive) {
  HWND window = OpenShown("plain");
  ASSERT_NE(window, nullptr);
  HWND other = CreateWindowExW(0, L"STATIC", L"other", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200,
                               100, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(other, nullptr);
  SetForegroundWindow(other);
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
  EXPECT_EQ(GetForegroundWindow(), other);

  PressButton(window, IDC_RECEIVE_CHANGE_FOLDER);
  HWND chooser = WaitForWindow(kDialogClass, "폴더 선택");
  ASSERT_NE(chooser, nullptr);
  EXPECT_EQ(GetWindow(chooser, GW_OWNER), window);
  EXPECT_FALSE(IsWindowEnabled(window));
  CloseWithCloseBox(chooser);
  EXPECT_TRUE(WaitUntilGone(chooser));
  EXPECT_TRUE(WaitFor([&] { return IsWindowEnabled(window) != FALSE; }));
  Close(window);
  DestroyWindow(other);
}

TEST_F(ReceiveWindowTest, ChangeFolderStoresANewFolderAndSkipsOneThatDiffersInCaseOnly) {
  char saved[260] = {};
  const bool hadSetting = LoadReceiveFolder(saved, sizeof saved) == -1;
  TempFolder other;
  ASSERT_TRUE(other.Ok());
  other.Write("107there.txt", "abc");
  HWND window = OpenShown("plain");
  ASSERT_NE(window, nullptr);

  PressButton(window, IDC_RECEIVE_CHANGE_FOLDER);
  HWND chooser = WaitForWindow(kDialogClass, "폴더 선택");
  ASSERT_NE(chooser, nullptr);
  EXPECT_EQ(ItemText(chooser, IDC_FOLDER_EDIT), folder_.Text());
  SetItemText(chooser, 202, other.Text());
  PressButton(chooser, IDOK);
  EXPECT_TRUE(WaitFor([&] { return ItemText(window, IDC_RECEIVE_FOLDER_EDIT) == other.Text(); }));
  char stored[260] = {};
  EXPECT_EQ(LoadReceiveFolder(stored, sizeof stored), -1);
  EXPECT_EQ(std::string(stored), other.Text());
  EXPECT_TRUE(
      WaitFor([&] { return Rows(window, kLocalList) == std::set<std::string>{"107there.txt"}; }));

  SaveReceiveFolder("sentinel");
  PressButton(window, IDC_RECEIVE_CHANGE_FOLDER);
  chooser = WaitForWindow(kDialogClass, "폴더 선택");
  ASSERT_NE(chooser, nullptr);
  std::string upper = other.Text();
  std::transform(upper.begin(), upper.end(), upper.begin(),
                 [](char ch) { return ch >= 'a' && ch <= 'z' ? static_cast<char>(ch - 32) : ch; });
  SetItemText(chooser, 202, upper);
  PressButton(chooser, IDOK);
  EXPECT_TRUE(WaitUntilGone(chooser));
  Sleep(200);
  EXPECT_EQ(LoadReceiveFolder(stored, sizeof stored), -1);
  EXPECT_EQ(std::string(stored), "sentinel");
  EXPECT_EQ(ItemText(window, IDC_RECEIVE_FOLDER_EDIT), other.Text());
  Close(window);
  if (hadSetting) SaveReceiveFolder(saved);
}

}  // namespace
}  // namespace dovrel::test
