#pragma once
// Bounded socket waits for the server's connection threads. Every wait also
// wakes when the server stops, so no thread outlives Stop() by more than a poll.

#include <atomic>
#include <chrono>
#include <cstddef>

#include "base/unique_handles_posix.h"

namespace dovrel::server {

// Raised once, seen by every waiter at once: a pipe whose read end turns
// readable and stays so.
class StopSignal {
 public:
  StopSignal();
  bool Valid() const { return static_cast<bool>(readEnd_) && static_cast<bool>(writeEnd_); }
  void Raise();
  bool Raised() const { return raised_.load(); }
  int WaitDescriptor() const { return readEnd_.get(); }

 private:
  unique_fd readEnd_;
  unique_fd writeEnd_;
  std::atomic<bool> raised_{false};
};

enum class WaitResult { kReady, kTimedOut, kStopped, kFailed };

// `timeoutMs` < 0 waits without a limit (until ready or stopped).
WaitResult WaitFor(int fd, short events, int timeoutMs, const StopSignal& stop);
// False when the server stopped before the time was up.
bool SleepUnlessStopped(int milliseconds, const StopSignal& stop);

using Deadline = std::chrono::steady_clock::time_point;

// Exactly `length` bytes before `deadline`; false on time-out, close, error or stop.
bool ReadExact(int fd, void* buffer, std::size_t length, Deadline deadline, const StopSignal& stop);
// All `length` bytes before `deadline`, each wait for room also bounded by
// `waitMs`; false on time-out, error or stop.
bool SendAll(int fd, const void* data, std::size_t length, Deadline deadline, int waitMs,
             const StopSignal& stop);
// Reads and drops whatever arrives until the peer closes, the server stops or
// `timeoutMs` passes without a byte.
void DrainUntilClosed(int fd, int timeoutMs, const StopSignal& stop);

}  // namespace dovrel::server
