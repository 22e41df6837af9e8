#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "tests/support/loopback_peer.h"

namespace dovrel::test::peer_platform {

bool Start() { return true; }

PeerSocket Listen(int* port) {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof address;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), size) != 0 || ::listen(fd, 16) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
    ::close(fd);
    return -1;
  }
  *port = ntohs(address.sin_port);
  return fd;
}

static bool Readable(PeerSocket s, int timeoutMs) {
  pollfd entry{static_cast<int>(s), POLLIN, 0};
  return ::poll(&entry, 1, timeoutMs) > 0;
}

PeerSocket Accept(PeerSocket listener, int timeoutMs) {
  if (!Readable(listener, timeoutMs)) return -1;
  int fd = ::accept4(static_cast<int>(listener), nullptr, nullptr, SOCK_CLOEXEC);
  return fd < 0 ? -1 : fd;
}

int SendSome(PeerSocket s, const void* data, std::size_t length) {
  return static_cast<int>(::send(static_cast<int>(s), data, length, MSG_NOSIGNAL));
}

int ReceiveSome(PeerSocket s, void* buffer, std::size_t length, int timeoutMs) {
  if (!Readable(s, timeoutMs)) return -1;
  ssize_t n = ::recv(static_cast<int>(s), buffer, length, 0);
  return n < 0 ? -1 : static_cast<int>(n);
}

void CloseSocket(PeerSocket s) { ::close(static_cast<int>(s)); }

}  // namespace dovrel::test::peer_platform
