#pragma once
// Runs the download worker on a thread of its own. The job is copied in, so
// nothing the worker reads belongs to the window that started it, and the
// thread is joined before this object goes: a window ended early (its OK
// command) still waits for the worker instead of pulling its state away.

#include <atomic>
#include <thread>

#include "session/download_worker.h"

namespace dovrel {

class DownloadThread {
 public:
  // Starts the worker at once. The items, the view and the wire conversion
  // that the job points at must outlive this object.
  explicit DownloadThread(const TransferJob& job);
  ~DownloadThread();
  DownloadThread(const DownloadThread&) = delete;
  DownloadThread& operator=(const DownloadThread&) = delete;

  // Asks the worker to stop before its next item.
  void Cancel() { cancel_ = true; }
  // Set by the worker thread as its very last act, on every path.
  bool Done() const { return done_.load(); }
  // Waits for the worker; its ending, once it has returned.
  WorkerEnd Wait();

 private:
  TransferJob job_;
  std::atomic<bool> cancel_{false};
  std::atomic<bool> done_{false};
  WorkerEnd end_ = WorkerEnd::kBroken;
  std::thread thread_;
};

}  // namespace dovrel
