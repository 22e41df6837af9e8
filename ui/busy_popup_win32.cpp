#include "ui/busy_popup_win32.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <utility>

#include "net/wait_limits.h"
#include "resources/resource_ids.h"
#include "ui/module_threads_win32.h"
#include "base/win32/window_helpers_win32.h"
#include "ui/resource_module_win32.h"

namespace dovrel {
namespace {

constexpr int kBusyDialog = IDD_BUSY;
constexpr int kBusyText = IDC_BUSY_TEXT;
constexpr UINT kCloseMessage = WM_APP + 2;

std::atomic<int> liveThreads{0};

}  // namespace

struct BusyPopupState {
  std::wstring text;
  std::mutex lock;
  HWND window = nullptr;
  bool stopRequested = false;
  std::atomic<bool> dismissed{false};  // closed by the user's Esc
};

namespace {

INT_PTR CALLBACK PopupProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      auto* state = reinterpret_cast<BusyPopupState*>(lParam);
      SetWindowLongPtrW(window, DWLP_USER, lParam);
      SetDlgItemTextW(window, kBusyText, state->text.c_str());
      SetControlTextUtf8(window, kBusyTitle);
      std::lock_guard<std::mutex> hold(state->lock);
      state->window = window;
      if (state->stopRequested) EndDialog(window, 0);
      return TRUE;
    }
    case WM_COMMAND:
      if (wParam == 1) {
        EndDialog(window, 1);
        return TRUE;
      }
      if (wParam == 2) {
        auto* state = reinterpret_cast<BusyPopupState*>(GetWindowLongPtrW(window, DWLP_USER));
        if (state != nullptr) state->dismissed = true;
        EndDialog(window, 0);
      }
      return FALSE;
    case kCloseMessage:
      EndDialog(window, 0);
      return TRUE;
    default:
      return FALSE;
  }
}

// Waits for `handle` (or, without one, just for `waitMs`) while serving the
// messages that other threads send to this one: a popup that takes the
// activation from this thread's window waits for this thread to answer, so a
// plain sleep would keep it from showing, and from ending.
bool WaitServingSentMessages(HANDLE handle, DWORD waitMs) {
  const std::int64_t end = MonotonicMs() + waitMs;
  for (;;) {
    const auto remaining = static_cast<DWORD>(RemainingMs(end, MonotonicMs()));
    const DWORD count = handle != nullptr ? 1 : 0;
    const DWORD woke = MsgWaitForMultipleObjects(count, &handle, FALSE, remaining, QS_SENDMESSAGE);
    if (count == 1 && woke == WAIT_OBJECT_0) return true;
    if (woke != WAIT_OBJECT_0 + count) return false;  // time is up, or the wait failed
    MSG message;
    PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
  }
}

DWORD WINAPI PopupThread(void* parameter) {
  std::unique_ptr<std::shared_ptr<BusyPopupState>> owned(
      static_cast<std::shared_ptr<BusyPopupState>*>(parameter));
  BusyPopupState& state = **owned;
  DialogBoxParamW(ResourceModule(), MAKEINTRESOURCEW(kBusyDialog), nullptr, PopupProcedure,
                  reinterpret_cast<LPARAM>(&state));
  {
    std::lock_guard<std::mutex> hold(state.lock);
    state.window = nullptr;
  }
  owned.reset();
  --liveThreads;
  return 0;
}

}  // namespace

BusyPopupHandle::BusyPopupHandle(HANDLE thread, std::shared_ptr<BusyPopupState> state)
    : thread_(thread), state_(std::move(state)) {}

BusyPopupHandle::~BusyPopupHandle() { StopBusyPopup(*this); }

BusyPopupHandle::BusyPopupHandle(BusyPopupHandle&& other) noexcept
    : thread_(std::exchange(other.thread_, nullptr)), state_(std::move(other.state_)) {}

BusyPopupHandle& BusyPopupHandle::operator=(BusyPopupHandle&& other) noexcept {
  if (this != &other) {
    StopBusyPopup(*this);
    thread_ = std::exchange(other.thread_, nullptr);
    state_ = std::move(other.state_);
  }
  return *this;
}

BusyPopupHandle StartBusyPopup(const char* textUtf8) {
  auto state = std::make_shared<BusyPopupState>();
  state->text = Utf8ToWide(textUtf8 != nullptr ? textUtf8 : "");
  auto* shared = new std::shared_ptr<BusyPopupState>(state);
  ++liveThreads;
  HANDLE thread = StartModuleThread(PopupThread, shared);
  if (thread == nullptr) {
    delete shared;
    --liveThreads;
  }
  WaitServingSentMessages(nullptr, kBusyPauseMs);
  return thread != nullptr ? BusyPopupHandle(thread, std::move(state)) : BusyPopupHandle();
}

void StopBusyPopup(BusyPopupHandle& handle) {
  if (handle.thread_ == nullptr) return;
  {
    std::lock_guard<std::mutex> hold(handle.state_->lock);
    handle.state_->stopRequested = true;
    if (handle.state_->window != nullptr) {
      PostMessageW(handle.state_->window, kCloseMessage, 0, 0);
    }
  }
  WaitServingSentMessages(handle.thread_, kBusyStopWaitMs);
  CloseHandle(handle.thread_);
  handle.thread_ = nullptr;
  handle.state_.reset();
}

bool BusyPopupHandle::Dismissed() const { return state_ && state_->dismissed.load(); }

int LiveBusyPopupThreads() { return liveThreads.load(); }

}  // namespace dovrel
