#include "ui/progress_window_win32.h"

#include <commctrl.h>

#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "base/message_box.h"
#include "net/wire_text.h"
#include "resources/resource_ids.h"
#include "session/key_exchange.h"
#include "session/transport_security.h"
#include "ui/module_threads_win32.h"
#include "base/win32/window_helpers_win32.h"
#include "ui/window_wait_win32.h"

namespace dovrel {
namespace {

constexpr UINT kUpdatesMessage = WM_APP + 1;
constexpr int kProgressDialog = IDD_PROGRESS;
constexpr int kCancelFace = IDB_CANCEL_BUTTON;
constexpr int kCancelButton = IDCANCEL;

// Where the dialog shows each of the worker's texts.
int ControlOf(TransferField field) {
  switch (field) {
    case TransferField::kStatus:
      return IDC_PROGRESS_STATUS;
    case TransferField::kFileName:
      return IDC_PROGRESS_FILE_NAME;
    case TransferField::kSize:
      return IDC_PROGRESS_SIZE;
    case TransferField::kCount:
      return IDC_PROGRESS_COUNT;
  }
  return 0;
}

}  // namespace

// The worker's updates, kept until the window's thread takes them. Only the
// latest value per control counts, so the worker never queues more than one
// message and never waits.
class PostedUpdates final : public TransferView {
 public:
  void SetText(TransferField field, const std::string& utf8) override {
    std::lock_guard<std::mutex> hold(lock_);
    texts_[field] = utf8;
    PostLocked();
  }
  void SetProgress(int position) override {
    std::lock_guard<std::mutex> hold(lock_);
    progress_ = position;
    PostLocked();
  }
  void EnableCancel(bool enabled) override {
    std::lock_guard<std::mutex> hold(lock_);
    cancelEnabled_ = enabled ? 1 : 0;
    PostLocked();
  }

  void Attach(HWND window) {
    std::lock_guard<std::mutex> hold(lock_);
    window_ = window;
  }
  // After this no message goes to the window, which may then be destroyed.
  void Detach() {
    std::lock_guard<std::mutex> hold(lock_);
    window_ = nullptr;
  }

  struct Batch {
    std::map<TransferField, std::string> texts;
    int progress = -1;
    int cancelEnabled = -1;
  };
  Batch Take() {
    std::lock_guard<std::mutex> hold(lock_);
    Batch batch{std::move(texts_), progress_, cancelEnabled_};
    texts_.clear();
    progress_ = -1;
    cancelEnabled_ = -1;
    posted_ = false;
    return batch;
  }

 private:
  void PostLocked() {
    if (window_ == nullptr || posted_) return;
    posted_ = PostMessageW(window_, kUpdatesMessage, 0, 0) != FALSE;
  }

  std::mutex lock_;
  HWND window_ = nullptr;
  bool posted_ = false;
  std::map<TransferField, std::string> texts_;
  int progress_ = -1;
  int cancelEnabled_ = -1;
};

// What the worker reads that the window does not outlive: its copy of the
// items and the channel its updates travel through. The worker's run holds it
// until the worker has returned, so an early end of the window is safe.
struct TransferRun {
  std::vector<TransferItem> items;
  ServerAccess access;  // its TLS layer serves the worker's fetches
  PostedUpdates updates;
};

namespace {

class WindowHost final : public KeyExchangeHost {
 public:
  WindowHost(HWND window, BusyIndicator& busy) : window_(window), busy_(busy) {}
  void StartBusyPopup(const char* text) override { busy_.Start(text); }
  void StopBusyPopup() override { busy_.Stop(); }
  void ShowMessage(const char* text, const char* caption, unsigned flags) override {
    ShowMessageUtf8(window_, text, caption, flags);
  }

 private:
  HWND window_;
  BusyIndicator& busy_;
};

}  // namespace

ProgressWindow::ProgressWindow(HINSTANCE resources, BusyIndicator& busy)
    : resources_(resources), busy_(busy) {}

ProgressWindow::~ProgressWindow() {
  if (cancelFace_ != nullptr) DeleteObject(cancelFace_);
}

void ProgressWindow::Setup(TransferItem* items, int count, const ReceiveParameters& parameters) {
  items_ = items;
  count_ = items != nullptr && count > 0 ? count : 0;
  parameters_ = parameters;
}

int ProgressWindow::Run(HWND owner) {
  const INT_PTR result = DialogBoxParamW(resources_, MAKEINTRESOURCEW(kProgressDialog), owner,
                                         Procedure, reinterpret_cast<LPARAM>(this));
  if (worker_) {
    // A worker that still runs (the window was ended by OK) only sets flags of
    // its own copy from now on; what it has finished so far counts.
    for (int i = 0; i < count_; ++i) {
      items_[i].done =
          __atomic_load_n(&run_->items[static_cast<std::size_t>(i)].done, __ATOMIC_ACQUIRE);
    }
    worker_->LetGo();
    worker_.reset();
    run_.reset();
  }
  return result <= 0 ? -1 : static_cast<int>(result);
}

INT_PTR CALLBACK ProgressWindow::Procedure(HWND window, UINT message, WPARAM wParam,
                                           LPARAM lParam) {
  auto* self = DialogObject<ProgressWindow>(window, message, lParam);
  if (self == nullptr) return FALSE;
  self->window_ = window;
  return self->Handle(message, wParam, lParam);
}

INT_PTR ProgressWindow::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
  // While the key exchange waits, this thread serves messages: nothing re-enters.
  if (message == WM_COMMAND && WindowWait::Current() != nullptr) return TRUE;
  switch (message) {
    case WM_INITDIALOG:
      Open();
      return FALSE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK) {
        EndDialog(window_, 1);
      } else if (LOWORD(wParam) == IDCANCEL && worker_) {
        worker_->RequestStop();
      }
      return TRUE;
    case WM_TIMER:
      if (wParam == kTransferTimer && worker_ && worker_->Done()) EndDialog(window_, 1);
      return TRUE;
    case WM_CTLCOLORSTATIC:
      SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
      return reinterpret_cast<INT_PTR>(GetStockObject(NULL_BRUSH));
    case kUpdatesMessage:
      ApplyUpdates();
      return TRUE;
    case WM_DESTROY:
      KillTimer(window_, kTransferTimer);
      if (worker_) {
        run_->updates.Detach();
        worker_->RequestStop();  // an early end: stop within the current item
      }
      return FALSE;
    default:
      (void)lParam;
      return FALSE;
  }
}

void ProgressWindow::Open() {
  const ServerAccess access = SessionServerAccess(parameters_);
  if (!access.Ready()) {  // TLS asked for but unable to run: nothing goes out in clear
    ShowMessageUtf8(window_, kNoConnectionText, kCaptionNotice, kMbAlert);
    EndDialog(window_, 2);
    return;
  }
  SessionKeys keys;
  WindowHost host(window_, busy_);
  KeyExchangeResult opened;
  {
    // The owner is the main window, whose commands must not run meanwhile either.
    WindowWait wait({window_, GetWindow(window_, GW_OWNER)}, &busy_);
    ExchangeTimeouts timeouts = exchangeTimeouts_;
    timeouts.hook = &wait;
    opened = OpenSecureSession(parameters_, &keys, host, access.With(timeouts), access.pins);
  }
  if (opened != KeyExchangeResult::kOpened) {
    EndDialog(window_, 2);
    return;
  }
  CentreOnOwner(window_);
  cancelFace_ = static_cast<HBITMAP>(
      LoadImageW(resources_, MAKEINTRESOURCEW(kCancelFace), IMAGE_BITMAP, 0, 0, 0));
  SendDlgItemMessageW(window_, kCancelButton, BM_SETIMAGE, IMAGE_BITMAP,
                      reinterpret_cast<LPARAM>(cancelFace_));
  SetControlTextUtf8(window_, kPreparingTransferText);
  SetTimer(window_, kTransferTimer, kTransferTimerPeriodMs, nullptr);

  run_ = std::make_shared<TransferRun>();
  run_->items.assign(items_, items_ + count_);
  run_->access = access;
  run_->updates.Attach(window_);
  TransferJob job;
  job.parameters = parameters_;
  job.keys = keys;
  job.items = run_->items.data();
  job.count = static_cast<int>(run_->items.size());
  job.view = &run_->updates;
  job.wire = &PlatformWireText();
  job.timeouts = workerTimeouts_;
  job.terminateTimeouts = access.With(exchangeTimeouts_);
  job.tls = run_->access.tls.get();
  // A module thread: the page may release the control while the worker runs.
  // Without a thread nothing is received, and the timer ends the window.
  worker_ = std::make_unique<DownloadThread>(job, run_, StartDetachedModuleThread);
}

void ProgressWindow::ApplyUpdates() {
  if (!run_) return;
  PostedUpdates::Batch batch = run_->updates.Take();
  for (const auto& [field, text] : batch.texts) ShowText(ControlOf(field), text);
  if (batch.progress >= 0) {
    SendDlgItemMessageW(window_, IDC_PROGRESS_BAR, PBM_SETPOS, static_cast<WPARAM>(batch.progress),
                        0);
  }
  if (batch.cancelEnabled >= 0) {
    EnableWindow(GetDlgItem(window_, kCancelButton), batch.cancelEnabled == 1);
  }
}

// The texts are transparent over the picture: the area is redrawn, picture
// first, before and after the text changes.
void ProgressWindow::ShowText(int control, const std::string& utf8) {
  HWND item = GetDlgItem(window_, control);
  if (item == nullptr) return;
  RECT area;
  GetWindowRect(item, &area);
  MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&area), 2);
  const UINT flags = RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN;
  RedrawWindow(window_, &area, nullptr, flags);
  SetControlTextUtf8(item, utf8);
  RedrawWindow(window_, &area, nullptr, flags);
}

}  // namespace dovrel
