#pragma once
// poll() with a time-out that a signal does not stretch: for every waiter on
// a POSIX descriptor, the client's sockets and the reference server's alike.

#include <poll.h>

namespace dovrel {

// Waits for `entries` at most `timeoutMs` (< 0: without a limit). A signal
// that interrupts the wait starts it again for what is left of the time-out.
// Returns what poll() returns.
int PollWithin(pollfd* entries, nfds_t count, int timeoutMs);

}  // namespace dovrel
