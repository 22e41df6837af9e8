// The folder selection window, driven through its real dialog.
#include <windows.h>
#include <shlobj.h>

#include <functional>
#include <string>

#include "control/folder_select_dialog_win32.h"
#include "base/win32/window_helpers_win32.h"
#include "resources/resource_ids.h"
#include "tests/support/window_driver_win32.h"

namespace dovrel::test {
namespace {

constexpr char kCaption[] = "폴더 선택";

std::string AnsiText(const std::string& utf8) {
  const std::wstring wide = Utf8ToWide(utf8);
  std::string out(wide.size() * 2 + 1, '\0');
  const int n = WideCharToMultiByte(CP_ACP, 0, wide.c_str(), static_cast<int>(wide.size()), &out[0],
                                    static_cast<int>(out.size()), nullptr, nullptr);
  out.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
  return out;
}

struct Outcome {
  int result = 0;
  std::string folder;  // ANSI
  std::string shownAtOpen;
};

// Opens the window with `initial`, lets `drive` act on it, and reports.
Outcome RunFolderWindow(const std::string& initialAnsi, const std::function<void(HWND)>& drive) {
  Outcome outcome;
  FolderSelectDialog dialog;
  dialog.SetInitialFolder(initialAnsi.c_str());
  UiThread ui([&] { return dialog.Run(nullptr); });
  HWND window = WaitForWindow(kDialogClass, kCaption);
  EXPECT_NE(window, nullptr);
  if (window == nullptr) return outcome;
  outcome.shownAtOpen = ItemText(window, IDC_FOLDER_EDIT);
  drive(window);
  EXPECT_TRUE(ui.Finished(&outcome.result));
  char folder[260] = {};
  dialog.GetFolder(folder, sizeof folder);
  outcome.folder = folder;
  return outcome;
}

TEST(FolderSelectWindow, ShowsItsTextsAndTheInitialFolder) {
  const Outcome outcome = RunFolderWindow(AnsiText("C:\\받은자료"), [](HWND window) {
    EXPECT_EQ(ItemText(window, IDC_FOLDER_HEADING), "기본 폴더를 지정하십시오");
    EXPECT_EQ(ItemText(window, IDOK), "확    인");
    EXPECT_EQ(ItemText(window, IDC_FOLDER_BROWSE), "찾아보기");
    PressButton(window, IDOK);
  });
  EXPECT_EQ(outcome.shownAtOpen, "C:\\받은자료");
  EXPECT_EQ(outcome.result, 1);
}

TEST(FolderSelectWindow, OkReturnsTheTypedTextUnchangedEvenEmpty) {
  const struct { std::string typedUtf8; } cases[] = {{"C:\\없는\\폴더"}, {""}};
  for (const auto& c : cases) {
    const Outcome outcome = RunFolderWindow("C:\\old", [&](HWND window) {
      SetItemText(window, IDC_FOLDER_EDIT, c.typedUtf8);
      PressButton(window, IDOK);
    });
    EXPECT_EQ(outcome.result, 1);
    EXPECT_EQ(outcome.folder, AnsiText(c.typedUtf8));
  }
}

TEST(FolderSelectWindow, EscapeAndTheCloseBoxCancelAndKeepTheFolder) {
  const std::function<void(HWND)> cancels[] = {
      [](HWND window) { PressKey(window, VK_ESCAPE); },
      [](HWND window) { CloseWithCloseBox(window); },
  };
  for (const auto& cancel : cancels) {
    const Outcome outcome = RunFolderWindow("C:\\kept", [&](HWND window) {
      SetItemText(window, IDC_FOLDER_EDIT, "C:\\typed");
      cancel(window);
    });
    EXPECT_EQ(outcome.result, 2);
    EXPECT_EQ(outcome.folder, "C:\\kept");
  }
}

TEST(FolderSelectWindow, ALongTypedPathIsCutAt259BytesOnACharacterBoundary) {
  const struct {
    std::string typedUtf8;
    std::size_t expectedBytes;
  } cases[] = {
      {"C:\\" + std::string(300, 'a'), 259},
      // "C:" and 130 two-byte syllables: 262 bytes; 259 would split a syllable.
      {[] {
         std::string s = "C:";
         for (int i = 0; i < 130; ++i) s += "가";
         return s;
       }(),
       258},
      // "C:\" then syllables: 3 + 2k bytes, so exactly 259 fits.
      {[] {
         std::string s = "C:\\";
         for (int i = 0; i < 130; ++i) s += "가";
         return s;
       }(),
       259},
  };
  for (const auto& c : cases) {
    const Outcome outcome = RunFolderWindow("", [&](HWND window) {
      SetItemText(window, IDC_FOLDER_EDIT, c.typedUtf8);
      PressButton(window, IDOK);
    });
    EXPECT_EQ(outcome.result, 1);
    EXPECT_EQ(outcome.folder.size(), c.expectedBytes);
    EXPECT_EQ(outcome.folder, AnsiText(c.typedUtf8).substr(0, c.expectedBytes));
  }
}

struct BrowserSearch {
  HWND folderWindow;
  HWND found = nullptr;
};

BOOL CALLBACK FindBrowser(HWND window, LPARAM parameter) {
  auto* search = reinterpret_cast<BrowserSearch*>(parameter);
  if (window != search->folderWindow && IsWindowVisible(window) &&
      FindWindowExW(window, nullptr, L"SysTreeView32", nullptr) != nullptr) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

// The shell's folder browser that the window's thread opened: a dialog of
// that thread with a tree of folders.
HWND FolderBrowserOf(DWORD thread, HWND folderWindow) {
  BrowserSearch search{folderWindow};
  WaitFor([&] {
    EnumThreadWindows(thread, FindBrowser, reinterpret_cast<LPARAM>(&search));
    return search.found != nullptr;
  });
  return search.found;
}

// The browser has no owner, so the window can be ended while it is open; a
// folder picked in the browser afterwards must not change what the window
// ended with.
TEST(FolderSelectWindow, AFolderPickedAfterTheWindowEndedIsIgnored) {
  const struct {
    std::function<void(HWND)> end;
    int result;
    std::string folder;
  } cases[] = {
      {[](HWND window) { PressButton(window, IDOK); }, 1, "C:\\typed"},
      {[](HWND window) { CloseWithCloseBox(window); }, 2, "C:\\kept"},
  };
  for (const auto& c : cases) {
    FolderSelectDialog dialog;
    dialog.SetInitialFolder("C:\\kept");
    UiThread ui([&] { return dialog.Run(nullptr); });
    HWND window = WaitForWindow(kDialogClass, kCaption);
    ASSERT_NE(window, nullptr);
    PressButton(window, IDC_FOLDER_BROWSE);
    HWND browser = FolderBrowserOf(ui.ThreadId(), window);
    ASSERT_NE(browser, nullptr);
    EXPECT_TRUE(IsWindowEnabled(window));
    SetItemText(window, IDC_FOLDER_EDIT, "C:\\typed");
    c.end(window);
    // The browser's modal loop handles the window's command; then a folder is picked.
    Sleep(300);
    SendMessageW(browser, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(L"C:\\windows"));
    PostMessageW(browser, WM_COMMAND, IDOK, 0);
    int result = 0;
    ASSERT_TRUE(ui.Finished(&result));
    EXPECT_EQ(result, c.result);
    char folder[260] = {};
    dialog.GetFolder(folder, sizeof folder);
    EXPECT_EQ(std::string(folder), c.folder);
  }
}

}  // namespace
}  // namespace dovrel::test
