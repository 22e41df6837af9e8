#pragma once
// Runs the download worker on a thread of its own. The job is copied in, so
// nothing the worker reads belongs to the window that started it. Going away
// asks the worker to stop, which abandons the item under way within a fraction
// of a second, and then waits for it: a window ended early (its OK command)
// neither pulls state from under the worker nor waits for the rest of the list. A caller that must
// not block (a window thread the worker may be waiting on) calls RequestStop and polls Done before
// it lets this object go.

#include <atomic>
#include <thread>

#include "session/download_worker.h"

namespace dovrel {

class DownloadThread {
 public:
  // Starts the worker at once. The items, the view and the wire conversion
  // that the job points at must outlive this object.
  explicit DownloadThread(const TransferJob& job);
  // RequestStop, then waits for the worker to return.
  ~DownloadThread();
  DownloadThread(const DownloadThread&) = delete;
  DownloadThread& operator=(const DownloadThread&) = delete;

  // The Cancel flag: the worker gives up the item under way (which fails) and
  // sends TERMINATE; returns at once.
  void RequestStop() { stop_ = true; }
  // Set by the worker thread as its very last act, on every path.
  bool Done() const { return done_.load(); }
  // Waits for the worker; its ending, once it has returned.
  WorkerEnd Wait();

 private:
  TransferJob job_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> done_{false};
  WorkerEnd end_ = WorkerEnd::kBroken;
  std::thread thread_;
};

}  // namespace dovrel
