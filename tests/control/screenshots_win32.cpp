// Opens the windows against running reference servers and saves pictures of
// them as 24-bit BMP files, for tools/window-screenshots.
//   window_screenshots OUTPUT-FOLDER PLAIN-PORT SLOW-PORT RECEIVE-FOLDER
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "control/receive_window_runner_win32.h"
#include "resources/resource_ids.h"
#include "tests/support/screen_capture_win32.h"
#include "tests/support/window_driver_win32.h"
#include "ui/busy_popup_win32.h"

namespace dovrel::test {
namespace {

int RowOf(HWND list, const std::string& name) {
  const std::vector<std::string> names = ListColumn(list, 0);
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (names[i] == name) return static_cast<int>(i);
  }
  return -1;
}

ReceiveParameters Parameters(int port, const std::string& folder) {
  ReceiveParameters parameters;
  SetFieldText(parameters.receiveFolder, folder);
  SetFieldText(parameters.searchDate, "20261208");
  SetFieldText(parameters.serverAddress, "127.0.0.1");
  parameters.serverPort = port;
  SetFieldText(parameters.userId, "tester");
  return parameters;
}

int Fail(const char* what) {
  std::fprintf(stderr, "window_screenshots: %s\n", what);
  return 1;
}

void Tick(HWND list, std::initializer_list<const char*> names) {
  for (const char* name : names) {
    const int row = RowOf(list, name);
    if (row >= 0) TickRow(list, row, true);
  }
}

// The main window through the runner on a thread of its own; `window` is
// null unless it opened and listed the day's files.
std::unique_ptr<UiThread> OpenMainWindow(int port, const std::string& folder, HWND* window) {
  const ReceiveParameters parameters = Parameters(port, folder);
  auto ui = std::make_unique<UiThread>([parameters] {
    RunControlReceiveWindow(parameters, nullptr);
    return 0;
  });
  *window = WaitForWindow(kDialogClass, "자료 수신");
  if (*window != nullptr &&
      !WaitFor([&] { return ListRowCount(GetDlgItem(*window, IDC_RECEIVE_SERVER_LIST)) > 0; })) {
    *window = nullptr;
  }
  return ui;
}

// Dismisses the receive summary if it comes, then closes the main window.
void Finish(UiThread& ui, HWND window, HWND summary) {
  if (summary != nullptr) DismissMessageBox(summary);
  PressButton(window, IDC_RECEIVE_CLOSE);
  int result = 0;
  ui.Finished(&result);
}

int Shoot(const std::string& out, int plainPort, int slowPort, const std::string& folder) {
  // The main window, listed; the busy popup of a search; the folder window;
  // the main window after a receive, with its summary.
  {
    HWND window = nullptr;
    std::unique_ptr<UiThread> ui = OpenMainWindow(plainPort, folder, &window);
    if (window == nullptr) return Fail("no main window listing files");
    HWND list = GetDlgItem(window, IDC_RECEIVE_SERVER_LIST);
    Tick(list, {"107a.txt", "107자료.txt", "statement.dat"});
    SaveWindow(window, out + "\\main-window-listed.bmp");

    PressButton(window, IDC_RECEIVE_SEARCH);
    HWND popup = WaitForWindow(kDialogClass, kBusyTitle, 5000);
    if (popup == nullptr) return Fail("no busy popup");
    SaveWindow(popup, out + "\\busy-popup.bmp");
    WaitUntilGone(popup);
    WaitFor([&] { return ListRowCount(list) > 0; });
    Tick(list, {"107a.txt", "107자료.txt", "statement.dat"});

    PressButton(window, IDC_RECEIVE_CHANGE_FOLDER);
    HWND chooser = WaitForWindow(kDialogClass, "폴더 선택");
    if (chooser == nullptr) return Fail("no folder window");
    SaveWindow(chooser, out + "\\folder-window.bmp");
    PressKey(chooser, VK_ESCAPE);
    WaitUntilGone(chooser);

    PressButton(window, IDC_RECEIVE_RECEIVE);
    HWND summary = WaitForWindow(kDialogClass, "전송 결과", 60000);
    if (summary == nullptr) return Fail("no receive summary");
    SaveWindow(window, out + "\\main-window-received.bmp");
    Finish(*ui, window, summary);
  }
  // The progress window while a file is on its way (the server takes its time).
  {
    HWND window = nullptr;
    std::unique_ptr<UiThread> ui = OpenMainWindow(slowPort, folder, &window);
    if (window == nullptr) return Fail("no main window listing files (slow server)");
    Tick(GetDlgItem(window, IDC_RECEIVE_SERVER_LIST), {"107a.txt", "statement.dat"});
    PressButton(window, IDC_RECEIVE_RECEIVE);
    HWND progress = WaitForWindowWithControl(kDialogClass, 216, "msctls_progress32", 30000);
    if (progress == nullptr) return Fail("no progress window");
    WaitFor([&] { return !ItemText(progress, IDC_PROGRESS_COUNT).empty(); });
    SaveWindow(progress, out + "\\progress-window.bmp");
    Finish(*ui, window, WaitForWindow(kDialogClass, "전송 결과", 60000));
  }
  return 0;
}

}  // namespace
}  // namespace dovrel::test

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: window_screenshots OUTPUT PLAIN-PORT SLOW-PORT RECEIVE-FOLDER\n");
    return 2;
  }
  return dovrel::test::Shoot(argv[1], std::atoi(argv[2]), std::atoi(argv[3]), argv[4]);
}
