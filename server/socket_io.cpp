#include "server/socket_io.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>

namespace dovrel::server {

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
  pollfd fds[2] = {{fd, events, 0}, {stop.WaitDescriptor(), POLLIN, 0}};
  for (;;) {
    if (stop.Raised()) return WaitResult::kStopped;
    const int n = poll(fds, 2, timeoutMs < 0 ? -1 : timeoutMs);
    if (n < 0) {
      if (errno == EINTR) continue;  // a signal: wait again (rarely, the full time)
      return WaitResult::kFailed;
    }
    if (n == 0) return WaitResult::kTimedOut;
    if (fds[1].revents != 0) return WaitResult::kStopped;
    // Errors and hang-ups count as ready: the next read or send reports them.
    return WaitResult::kReady;
  }
}

bool SleepUnlessStopped(int milliseconds, const StopSignal& stop) {
  const Deadline end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        end - std::chrono::steady_clock::now());
    if (left.count() <= 0) return !stop.Raised();
    pollfd fd = {stop.WaitDescriptor(), POLLIN, 0};
    const int n = poll(&fd, 1, static_cast<int>(left.count()));
    if (n > 0 || stop.Raised()) return false;
  }
}

bool ReadExact(int fd, void* buffer, std::size_t length, Deadline deadline,
               const StopSignal& stop) {
  auto* bytes = static_cast<unsigned char*>(buffer);
  std::size_t got = 0;
  while (got < length) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    if (WaitFor(fd, POLLIN, static_cast<int>(left.count()), stop) != WaitResult::kReady)
      return false;
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
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    const std::int64_t most = left.count();
    const int wait = static_cast<int>(waitMs < 0 ? most : std::min<std::int64_t>(most, waitMs));
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
