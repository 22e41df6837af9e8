#include <arpa/inet.h>
#include <netdb.h>
#include <sys/socket.h>

#include "net/resolve.h"

namespace dovrel::platform {

bool LookUpIPv4(const char* name, std::uint32_t* hostOrder) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (::getaddrinfo(name, nullptr, &hints, &found) != 0 || found == nullptr) return false;
  *hostOrder = ntohl(reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr.s_addr);
  ::freeaddrinfo(found);
  return true;
}

}  // namespace dovrel::platform
