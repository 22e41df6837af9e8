#include "tests/support/window_driver_win32.h"

#include <commctrl.h>

#include <chrono>
#include <climits>
#include <cstring>

namespace dovrel::test {
namespace {

constexpr UINT kSendWaitMs = 5000;

std::wstring Wide(const std::string& utf8) {
  if (utf8.empty()) return std::wstring();
  const int length = static_cast<int>(utf8.size());
  const int needed = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, nullptr, 0);
  std::wstring out(static_cast<std::size_t>(needed), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, &out[0], needed);
  return out;
}

std::string Utf8(const std::wstring& wide) {
  if (wide.empty()) return std::string();
  const int length = static_cast<int>(wide.size());
  const int needed =
      WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(needed), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, &out[0], needed, nullptr, nullptr);
  return out;
}

LRESULT Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  DWORD_PTR result = 0;
  SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, kSendWaitMs, &result);
  return static_cast<LRESULT>(result);
}

std::string ClassOf(HWND window) {
  char name[64] = {};
  GetClassNameA(window, name, sizeof name);
  return name;
}

// Memory in the process that owns a window, for list-view messages whose
// parameters point at structures. A window of this process gets this
// process's own memory: where 32-bit programs run through qemu, Wine's
// Read/WriteProcessMemory miss (the guest's addresses are not the host's),
// so only tests that drive their own windows work there.
class RemoteMemory {
 public:
  RemoteMemory(HWND window, std::size_t size) : size_(size) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == GetCurrentProcessId()) {
      process_ = GetCurrentProcess();
      address_ = VirtualAlloc(nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
      return;
    }
    process_ =
        OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, process);
    if (process_ != nullptr) {
      address_ = VirtualAllocEx(process_, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    }
  }
  ~RemoteMemory() {
    if (address_ != nullptr) VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
    if (process_ != nullptr && process_ != GetCurrentProcess()) CloseHandle(process_);
  }
  RemoteMemory(const RemoteMemory&) = delete;
  RemoteMemory& operator=(const RemoteMemory&) = delete;

  bool Ok() const { return address_ != nullptr; }
  char* At(std::size_t offset) const { return static_cast<char*>(address_) + offset; }
  void Write(std::size_t offset, const void* data, std::size_t size) const {
    if (process_ == GetCurrentProcess()) {
      std::memcpy(At(offset), data, size);
    } else {
      WriteProcessMemory(process_, At(offset), data, size, nullptr);
    }
  }
  void Read(std::size_t offset, void* data, std::size_t size) const {
    if (process_ == GetCurrentProcess()) {
      std::memcpy(data, At(offset), size);
    } else {
      ReadProcessMemory(process_, At(offset), data, size, nullptr);
    }
  }
  // A zero-terminated wide text of at most `chars` characters at `offset`.
  std::string ReadText(std::size_t offset, std::size_t chars) const {
    std::wstring text(chars, L'\0');
    Read(offset, &text[0], chars * sizeof(wchar_t));
    text.resize(wcsnlen(text.c_str(), chars));
    return Utf8(text);
  }

 private:
  std::size_t size_;
  HANDLE process_ = nullptr;
  void* address_ = nullptr;
};

struct Search {
  std::string className;
  std::wstring caption;
  bool visibleOnly = true;
  int controlId = -1;
  std::string controlClass;
  HWND found = nullptr;
};

BOOL CALLBACK Visit(HWND window, LPARAM parameter) {
  auto* search = reinterpret_cast<Search*>(parameter);
  if (search->visibleOnly && !IsWindowVisible(window)) return TRUE;
  if (ClassOf(window) != search->className) return TRUE;
  if (search->controlId >= 0) {
    HWND control = GetDlgItem(window, search->controlId);
    if (control == nullptr || ClassOf(control) != search->controlClass) return TRUE;
  } else {
    wchar_t caption[512] = {};
    GetWindowTextW(window, caption, 512);
    if (search->caption != caption) return TRUE;
  }
  search->found = window;
  return FALSE;
}

HWND FindBy(Search search) {
  EnumWindows(Visit, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

BOOL CALLBACK CloseThreadWindow(HWND window, LPARAM) {
  PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
  return TRUE;
}

}  // namespace

bool WaitFor(const std::function<bool()>& condition, int waitMs) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
  while (!condition()) {
    if (std::chrono::steady_clock::now() >= end) return false;
    Sleep(10);
  }
  return true;
}

HWND FindWindowNow(const char* className, const std::string& caption, bool visibleOnly) {
  Search search;
  search.className = className;
  search.caption = Wide(caption);
  search.visibleOnly = visibleOnly;
  return FindBy(search);
}

HWND WaitForWindow(const char* className, const std::string& caption, int waitMs) {
  HWND found = nullptr;
  WaitFor([&] { return (found = FindWindowNow(className, caption, true)) != nullptr; }, waitMs);
  return found;
}

HWND WaitForWindowWithControl(const char* className, int controlId, const char* controlClass,
                              int waitMs) {
  Search search;
  search.className = className;
  search.controlId = controlId;
  search.controlClass = controlClass;
  HWND found = nullptr;
  WaitFor([&] { return (found = FindBy(search)) != nullptr; }, waitMs);
  return found;
}

bool WaitUntilGone(HWND window, int waitMs) {
  return WaitFor([&] { return !IsWindow(window) || !IsWindowVisible(window); }, waitMs);
}

std::string WindowText(HWND window) {
  const LRESULT length = Send(window, WM_GETTEXTLENGTH, 0, 0);
  if (length <= 0) return std::string();
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  const LRESULT copied =
      Send(window, WM_GETTEXT, static_cast<WPARAM>(length) + 1, reinterpret_cast<LPARAM>(&text[0]));
  text.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
  return Utf8(text);
}

std::string ItemText(HWND dialog, int id) { return WindowText(GetDlgItem(dialog, id)); }

void SetItemText(HWND dialog, int id, const std::string& utf8) {
  const std::wstring text = Wide(utf8);
  Send(GetDlgItem(dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

bool IsItemEnabled(HWND dialog, int id) { return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE; }
bool IsItemVisible(HWND dialog, int id) { return IsWindowVisible(GetDlgItem(dialog, id)) != FALSE; }

void PressButton(HWND dialog, int id) {
  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

void PressKey(HWND window, WPARAM key) {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  HWND target = window;
  if (GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info) && info.hwndFocus) {
    target = info.hwndFocus;
  }
  PostMessageW(target, WM_KEYDOWN, key, 1);
  PostMessageW(target, WM_KEYUP, key, 0xC0000001);
}

void CloseWithCloseBox(HWND window) { PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0); }

int ListRowCount(HWND list) { return static_cast<int>(Send(list, LVM_GETITEMCOUNT, 0, 0)); }

namespace {

// A text that `window` writes through an item record (LVITEMW, HDITEMW) placed
// in its own process, with room for `chars` characters after the record.
template <typename Item>
std::string RemoteItemText(HWND window, UINT message, int index, Item item, std::size_t chars) {
  RemoteMemory memory(window, sizeof item + chars * sizeof(wchar_t));
  if (!memory.Ok()) return std::string();
  item.pszText = reinterpret_cast<wchar_t*>(memory.At(sizeof item));
  item.cchTextMax = static_cast<int>(chars);
  memory.Write(0, &item, sizeof item);
  Send(window, message, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(memory.At(0)));
  return memory.ReadText(sizeof item, chars);
}

}  // namespace

std::string ListCell(HWND list, int row, int column) {
  LVITEMW item{};
  item.iSubItem = column;
  return RemoteItemText(list, LVM_GETITEMTEXTW, row, item, 1024);
}

std::vector<std::string> ListColumn(HWND list, int column) {
  std::vector<std::string> cells;
  const int rows = ListRowCount(list);
  for (int row = 0; row < rows; ++row) cells.push_back(ListCell(list, row, column));
  return cells;
}

std::string ListColumnTitle(HWND list, int column) {
  HWND header = reinterpret_cast<HWND>(Send(list, LVM_GETHEADER, 0, 0));
  HDITEMW item{};
  item.mask = HDI_TEXT;
  return RemoteItemText(header, HDM_GETITEMW, column, item, 256);
}

int ListColumnWidth(HWND list, int column) {
  return static_cast<int>(Send(list, LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(column), 0));
}

unsigned long ListExtendedStyle(HWND list) {
  return static_cast<unsigned long>(Send(list, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0));
}

void TickRow(HWND list, int row, bool ticked) {
  RemoteMemory memory(list, sizeof(LVITEMW));
  if (!memory.Ok()) return;
  LVITEMW item{};
  item.stateMask = LVIS_STATEIMAGEMASK;
  item.state = INDEXTOSTATEIMAGEMASK(ticked ? 2 : 1);
  memory.Write(0, &item, sizeof item);
  Send(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(memory.At(0)));
}

bool IsRowTicked(HWND list, int row) {
  const LRESULT state = Send(list, LVM_GETITEMSTATE, static_cast<WPARAM>(row), LVIS_STATEIMAGEMASK);
  return ((state & LVIS_STATEIMAGEMASK) >> 12) == 2;
}

::testing::AssertionResult MessageBoxAppears(const std::string& caption, std::string* text,
                                             HWND* box, int waitMs) {
  *box = WaitForWindow(kDialogClass, caption, waitMs);
  if (*box == nullptr) {
    return ::testing::AssertionFailure()
           << "no message box \"" << caption << "\" within " << waitMs << " ms";
  }
  *text = WindowText(GetDlgItem(*box, 0xFFFF));
  return ::testing::AssertionSuccess();
}

void DismissMessageBox(HWND box) {
  PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  WaitUntilGone(box, 5000);
}

::testing::AssertionResult ShowsMessage(const std::string& caption, const std::string& expected,
                                        int waitMs) {
  std::string text;
  HWND box = nullptr;
  ::testing::AssertionResult appeared = MessageBoxAppears(caption, &text, &box, waitMs);
  if (!appeared) return appeared;
  DismissMessageBox(box);
  if (text != expected) {
    return ::testing::AssertionFailure() << "message box \"" << caption << "\" says\n  " << text
                                         << "\ninstead of\n  " << expected;
  }
  return ::testing::AssertionSuccess();
}

UiThread::UiThread(std::function<int()> body) : future_(result_.get_future().share()) {
  thread_ = std::thread([this, body = std::move(body)] {
    threadId_ = GetCurrentThreadId();
    result_.set_value(body());
  });
  WaitFor([this] { return threadId_.load() != 0; }, 5000);
}

UiThread::~UiThread() {
  // A window left open would keep the thread forever: close what it shows.
  if (future_.wait_for(std::chrono::milliseconds(0)) != std::future_status::ready) {
    for (int attempt = 0; attempt < 50; ++attempt) {
      EnumThreadWindows(threadId_, CloseThreadWindow, 0);
      if (future_.wait_for(std::chrono::milliseconds(200)) == std::future_status::ready) break;
    }
  }
  if (thread_.joinable()) {
    if (future_.wait_for(std::chrono::seconds(5)) == std::future_status::ready) {
      thread_.join();
    } else {
      thread_.detach();
    }
  }
}

bool UiThread::Finished(int* result, int waitMs) {
  if (future_.wait_for(std::chrono::milliseconds(waitMs)) != std::future_status::ready)
    return false;
  *result = future_.get();
  return true;
}

}  // namespace dovrel::test
