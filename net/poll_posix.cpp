#include "net/poll_posix.h"

#include <cerrno>
#include <cstdint>

#include "net/wait_limits.h"

namespace dovrel {

int PollWithin(pollfd* entries, nfds_t count, int timeoutMs) {
  const std::int64_t deadline = DeadlineAfter(MonotonicMs(), timeoutMs);
  for (;;) {
    const int n = ::poll(entries, count, TimeLeftMs(MonotonicMs(), deadline, -1));
    if (n >= 0 || errno != EINTR) return n;
  }
}

}  // namespace dovrel
