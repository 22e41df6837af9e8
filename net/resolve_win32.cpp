#include <winsock2.h>
#include <ws2tcpip.h>

#include "net/resolve.h"

namespace dovrel::platform {

int LookUpHostIPv4(const char* name, std::uint32_t* hostOrder) {
  WSADATA data;
  if (::WSAStartup(MAKEWORD(2, 2), &data) != 0) return WSANOTINITIALISED;
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  int error = ::getaddrinfo(name, nullptr, &hints, &found);
  if (error == 0 && found == nullptr) error = WSANO_DATA;
  if (error == 0) {
    *hostOrder = ntohl(reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr.s_addr);
  }
  if (found != nullptr) ::freeaddrinfo(found);
  ::WSACleanup();
  return error;
}

}  // namespace dovrel::platform
