#include "session/download_thread.h"

#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

namespace dovrel {

struct DownloadThread::Run {
  TransferJob job;
  std::shared_ptr<const void> keep;
  std::atomic<bool> stop{false};
  std::atomic<bool> done{false};
  WorkerEnd end = WorkerEnd::kBroken;  // written before done, read after
  std::mutex lock;
  std::condition_variable ended;
};

bool StartDetachedThread(std::function<void()> body) {
  try {
    std::thread(std::move(body)).detach();
    return true;
  } catch (const std::system_error&) {
    return false;
  }
}

DownloadThread::DownloadThread(const TransferJob& job, std::shared_ptr<const void> keep,
                               const ThreadStart& start)
    : run_(std::make_shared<Run>()) {
  run_->job = job;
  run_->job.cancel = &run_->stop;
  run_->keep = std::move(keep);
  std::shared_ptr<Run> shared = run_;
  const bool started = start([shared] {
    const WorkerEnd end = RunDownloadWorker(shared->job);
    std::lock_guard<std::mutex> hold(shared->lock);
    shared->end = end;
    shared->done = true;
    shared->ended.notify_all();
  });
  if (!started) run_->done = true;
}

DownloadThread::~DownloadThread() {
  RequestStop();
  if (wait_) Wait();
}

void DownloadThread::RequestStop() { run_->stop = true; }

bool DownloadThread::Done() const { return run_->done.load(); }

WorkerEnd DownloadThread::Wait() {
  std::unique_lock<std::mutex> hold(run_->lock);
  run_->ended.wait(hold, [this] { return run_->done.load(); });
  return run_->end;
}

}  // namespace dovrel
