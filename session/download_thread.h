#pragma once
// Runs the download worker on a thread of its own: the one way every caller
// runs it. The job, the flags and whatever else the caller hands over live in a
// run that the thread co-owns until the worker has returned, so an owner may go
// first. Going away asks the worker to stop, which abandons the item under way
// within a fraction of a second, and then waits for it, unless the owner let
// go: a window that the worker's updates pass through must not block, so it
// lets go and leaves the worker to finish on its own.

#include <atomic>
#include <functional>
#include <memory>

#include "session/download_worker.h"

namespace dovrel {

// Runs `body` on a new thread that nobody joins; false when no thread could be
// started (`body` then never runs). A module that can be unloaded supplies one
// that keeps it loaded while the thread runs.
using ThreadStart = std::function<bool(std::function<void()> body)>;

// The default: a detached std::thread.
bool StartDetachedThread(std::function<void()> body);

class DownloadThread {
 public:
  // Starts the worker at once. What the job points at (items, view, wire
  // conversion) must outlive the worker: this object, which waits for it, or
  // `keep`, which the run holds until the worker has returned. When no thread
  // starts, nothing is received and Done is true at once.
  explicit DownloadThread(const TransferJob& job, std::shared_ptr<const void> keep = nullptr,
                          const ThreadStart& start = StartDetachedThread);
  // RequestStop, then waits for the worker unless LetGo was called.
  ~DownloadThread();
  DownloadThread(const DownloadThread&) = delete;
  DownloadThread& operator=(const DownloadThread&) = delete;

  // The Cancel flag: the worker gives up the item under way (which fails) and
  // sends TERMINATE; returns at once.
  void RequestStop();
  // Set by the worker thread as its very last act, on every path.
  bool Done() const;
  // Waits for the worker; its ending, once it has returned.
  WorkerEnd Wait();
  // Going away no longer waits: the worker ends on its own, holding the run.
  void LetGo() { wait_ = false; }

 private:
  struct Run;
  std::shared_ptr<Run> run_;
  bool wait_ = true;
};

}  // namespace dovrel
