#include <winsock2.h>

#include "tests/support/loopback_peer.h"

namespace dovrel::test::peer_platform {

bool Start() {
  static const bool started = [] {
    WSADATA data;
    return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  return started;
}

PeerSocket Listen(int* port) {
  SOCKET s = ::socket(AF_INET, SOCK_STREAM, 0);
  if (s == INVALID_SOCKET) return -1;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int size = sizeof address;
  if (::bind(s, reinterpret_cast<sockaddr*>(&address), size) != 0 || ::listen(s, 16) != 0 ||
      ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
    ::closesocket(s);
    return -1;
  }
  *port = ntohs(address.sin_port);
  return static_cast<PeerSocket>(s);
}

static bool Readable(PeerSocket s, int timeoutMs) {
  fd_set set;
  FD_ZERO(&set);
  FD_SET(static_cast<SOCKET>(s), &set);
  timeval limit{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
  return ::select(0, &set, nullptr, nullptr, &limit) > 0;
}

PeerSocket Accept(PeerSocket listener, int timeoutMs) {
  if (!Readable(listener, timeoutMs)) return -1;
  SOCKET s = ::accept(static_cast<SOCKET>(listener), nullptr, nullptr);
  return s == INVALID_SOCKET ? -1 : static_cast<PeerSocket>(s);
}

int SendSome(PeerSocket s, const void* data, std::size_t length) {
  return ::send(static_cast<SOCKET>(s), static_cast<const char*>(data), static_cast<int>(length),
                0);
}

int ReceiveSome(PeerSocket s, void* buffer, std::size_t length, int timeoutMs) {
  if (!Readable(s, timeoutMs)) return -1;
  int n = ::recv(static_cast<SOCKET>(s), static_cast<char*>(buffer), static_cast<int>(length), 0);
  return n < 0 ? -1 : n;
}

void CloseSocket(PeerSocket s) { ::closesocket(static_cast<SOCKET>(s)); }

}  // namespace dovrel::test::peer_platform
