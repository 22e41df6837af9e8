// Berkeley sockets. poll() replaces select() here: it has no FD_SETSIZE limit,
// so a descriptor numbered above 1023 cannot overrun a descriptor set.
#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

#include "net/poll_posix.h"
#include "net/socket_platform.h"

namespace dovrel::platform {

bool StartNetwork() { return true; }
void StopNetwork() {}
int LastSocketError() { return errno; }
void ClearSocketError() { errno = 0; }
// EAGAIN (EWOULDBLOCK) from a TCP connect means no attempt was started (no
// local port, say): only EINPROGRESS leads to a wait.
bool IsConnectInProgress(int error) { return error == EINPROGRESS; }

NativeSocket OpenStreamSocket() {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  return fd < 0 ? kNoSocket : fd;
}

bool SetNonBlocking(NativeSocket s, bool on) {
  int fd = static_cast<int>(s);
  int flags = ::fcntl(fd, F_GETFL, 0);
  if (flags < 0) return false;
  flags = on ? (flags | O_NONBLOCK) : (flags & ~O_NONBLOCK);
  return ::fcntl(fd, F_SETFL, flags) == 0;
}

int ConnectIPv4(NativeSocket s, std::uint32_t address, int port) {
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(static_cast<std::uint16_t>(port));
  to.sin_addr.s_addr = htonl(address);
  return ::connect(static_cast<int>(s), reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0
             ? 0
             : -1;
}

int PendingError(NativeSocket s) {
  int error = 0;
  socklen_t size = sizeof error;
  if (::getsockopt(static_cast<int>(s), SOL_SOCKET, SO_ERROR, &error, &size) != 0) return errno;
  return error;
}

int ShutdownBoth(NativeSocket s) { return ::shutdown(static_cast<int>(s), SHUT_RDWR); }
int CloseSocket(NativeSocket s) { return ::close(static_cast<int>(s)) == 0 ? 0 : -1; }

int SendSome(NativeSocket s, const void* data, int length) {
  // MSG_NOSIGNAL: a peer that has gone away is an error result, not SIGPIPE.
  return static_cast<int>(
      ::send(static_cast<int>(s), data, static_cast<size_t>(length), MSG_NOSIGNAL));
}

int ReceiveSome(NativeSocket s, void* buffer, int capacity) {
  ssize_t n = ::recv(static_cast<int>(s), buffer, static_cast<size_t>(capacity), 0);
  if (n == 0) errno = 0;  // the peer closed: a failure with no error code
  return static_cast<int>(n);
}

int WaitSocket(NativeSocket s, int timeoutMs, bool forReading, bool watchErrors) {
  (void)watchErrors;  // poll always reports POLLERR and POLLHUP
  pollfd entry{};
  entry.fd = static_cast<int>(s);
  entry.events = forReading ? POLLIN : POLLOUT;
  if (entry.fd < 0) {
    errno = EBADF;
    return -1;
  }
  const int n = PollWithin(&entry, 1, timeoutMs);
  if (n > 0 && (entry.revents & POLLNVAL)) {
    errno = EBADF;
    return -1;
  }
  return n;
}

void PrepareTlsWrites() {
  // Once for the process: a closed peer is then an error result, as for send().
  static const bool ignored = std::signal(SIGPIPE, SIG_IGN) != SIG_ERR;
  (void)ignored;
}

bool ParseDottedIPv4(const char* text, std::uint32_t* hostOrder) {
  in_addr parsed{};
  if (::inet_pton(AF_INET, text, &parsed) != 1) return false;
  *hostOrder = ntohl(parsed.s_addr);
  return true;
}

}  // namespace dovrel::platform
