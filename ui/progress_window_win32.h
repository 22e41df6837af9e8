#pragma once
// The progress window: opens the secure session while it initialises, then
// shows the download worker's progress until the worker has finished.
//
// The worker runs on a module thread (module_threads_win32.h) that co-owns
// everything it reads: its job, a copy of the items and the channel its
// updates travel through. It posts its updates and never waits on the window,
// so the window may end at any time (its OK command) without joining the
// worker: it sets the Cancel flag, which ends the current item, and lets go.

#include <windows.h>

#include <memory>

#include "net/exchange.h"
#include "base/receive_parameters.h"
#include "base/transfer_item.h"
#include "ui/busy_indicator.h"
#include "session/download_thread.h"

namespace dovrel {

inline constexpr char kPreparingTransferText[] = "전송준비중입니다";
inline constexpr UINT_PTR kTransferTimer = 1;
inline constexpr UINT kTransferTimerPeriodMs = 1000;

struct TransferRun;

class ProgressWindow {
 public:
  ProgressWindow(HINSTANCE resources, BusyIndicator& busy);
  ~ProgressWindow();
  ProgressWindow(const ProgressWindow&) = delete;
  ProgressWindow& operator=(const ProgressWindow&) = delete;

  // The items stay the caller's; their done flags are written back when Run ends.
  void Setup(TransferItem* items, int count, const ReceiveParameters& parameters);

  // 1 when the worker finished or the OK command ended the window, 2 when the
  // key exchange failed, -1 when the window could not be created.
  int Run(HWND owner);

 private:
  static INT_PTR CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR Handle(UINT message, WPARAM wParam, LPARAM lParam);
  void Open();
  void ApplyUpdates();
  void ShowText(int control, const std::string& utf8);

  HINSTANCE resources_;
  BusyIndicator& busy_;
  HWND window_ = nullptr;
  TransferItem* items_ = nullptr;
  int count_ = 0;
  ReceiveParameters parameters_;
  ExchangeTimeouts exchangeTimeouts_;
  WorkerTimeouts workerTimeouts_;
  HBITMAP cancelFace_ = nullptr;
  std::shared_ptr<TransferRun> run_;
  std::unique_ptr<DownloadThread> worker_;
};

}  // namespace dovrel
