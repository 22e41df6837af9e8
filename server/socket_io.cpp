#include "server/socket_io.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>

#include "net/poll_posix.h"
#include "net/wait_limits.h"

namespace dovrel::server {
namespace {

// A deadline in the milliseconds MonotonicMs counts: the same steady clock.
std::int64_t MonotonicMsOf(Deadline deadline) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(deadline.time_since_epoch()).count();
}

}  // namespace

StopSignal::StopSignal() {
  int ends[2];
  if (pipe2(ends, O_CLOEXEC | O_NONBLOCK) == 0) {
    readEnd_.reset(ends[0]);
    writeEnd_.reset(ends[1]);
  }
}

void StopSignal::Raise() {
  if (raised_.exchange(true)) return;
  const char byte = 1;
  // The byte is never read, so the read end stays readable for every waiter.
  [[maybe_unused]] const ssize_t n = write(writeEnd_.get(), &byte, 1);
}

WaitResult WaitFor(int fd, short events, int timeoutMs, const StopSignal& stop) {
  if (stop.Raised()) return WaitResult::kStopped;
  pollfd fds[2] = {{fd, events, 0}, {stop.WaitDescriptor(), POLLIN, 0}};
  const int n = PollWithin(fds, 2, timeoutMs);
  if (n < 0) return WaitResult::kFailed;
  if (n == 0) return WaitResult::kTimedOut;
  if (fds[1].revents != 0) return WaitResult::kStopped;
  // Errors and hang-ups count as ready: the next read or send reports them.
  return WaitResult::kReady;
}

bool SleepUnlessStopped(int milliseconds, const StopSignal& stop) {
  const std::int64_t end = MonotonicMs() + milliseconds;
  for (;;) {
    const int left = RemainingMs(end, MonotonicMs());
    if (left == 0) return !stop.Raised();
    pollfd fd = {stop.WaitDescriptor(), POLLIN, 0};
    const int n = poll(&fd, 1, left);
    if (n > 0 || stop.Raised()) return false;
  }
}

bool ReadExact(int fd, void* buffer, std::size_t length, Deadline deadline,
               const StopSignal& stop) {
  auto* bytes = static_cast<unsigned char*>(buffer);
  std::size_t got = 0;
  while (got < length) {
    const int left = RemainingMs(MonotonicMsOf(deadline), MonotonicMs());
    if (left == 0 || WaitFor(fd, POLLIN, left, stop) != WaitResult::kReady) return false;
    const ssize_t n = recv(fd, bytes + got, length - got, MSG_DONTWAIT);
    if (n == 0) return false;
    if (n < 0) {
      if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) continue;
      return false;
    }
    got += static_cast<std::size_t>(n);
  }
  return true;
}

bool SendAll(int fd, const void* data, std::size_t length, Deadline deadline, int waitMs,
             const StopSignal& stop) {
  const auto* bytes = static_cast<const unsigned char*>(data);
  std::size_t sent = 0;
  while (sent < length) {
    const int left = RemainingMs(MonotonicMsOf(deadline), MonotonicMs());
    if (left == 0) return false;
    const int wait = waitMs < 0 ? left : std::min(left, waitMs);
    if (WaitFor(fd, POLLOUT, wait, stop) != WaitResult::kReady) return false;
    const ssize_t n = send(fd, bytes + sent, length - sent, MSG_DONTWAIT | MSG_NOSIGNAL);
    if (n < 0) {
      if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) continue;
      return false;
    }
    sent += static_cast<std::size_t>(n);
  }
  return true;
}

void DrainUntilClosed(int fd, int timeoutMs, const StopSignal& stop) {
  char sink[512];
  for (;;) {
    if (WaitFor(fd, POLLIN, timeoutMs, stop) != WaitResult::kReady) return;
    const ssize_t n = recv(fd, sink, sizeof sink, MSG_DONTWAIT);
    if (n == 0) return;
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) return;
  }
}

}  // namespace dovrel::server
