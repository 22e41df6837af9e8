#include "session/download_thread.h"

namespace dovrel {

DownloadThread::DownloadThread(const TransferJob& job) : job_(job) {
  job_.cancel = &stop_;
  thread_ = std::thread([this] {
    end_ = RunDownloadWorker(job_);
    done_ = true;
  });
}

DownloadThread::~DownloadThread() {
  RequestStop();
  Wait();
}

WorkerEnd DownloadThread::Wait() {
  if (thread_.joinable()) thread_.join();
  return end_;
}

}  // namespace dovrel
