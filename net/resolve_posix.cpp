#include <arpa/inet.h>
#include <netdb.h>
#include <sys/socket.h>

#include "net/resolve.h"

namespace dovrel::platform {
namespace {

// The Windows Sockets code that stands for a resolver error.
int HostErrorCode(int error) {
  switch (error) {
    case EAI_NONAME:
      return kHostNotFound;
    case EAI_AGAIN:
      return 11002;  // WSATRY_AGAIN
#ifdef EAI_NODATA
    case EAI_NODATA:  // WSANO_DATA
#endif
#ifdef EAI_ADDRFAMILY
    case EAI_ADDRFAMILY:
#endif
      return 11004;
    default:
      return kNameNoRecovery;
  }
}

}  // namespace

int LookUpHostIPv4(const char* name, std::uint32_t* hostOrder) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  const int error = ::getaddrinfo(name, nullptr, &hints, &found);
  if (error != 0 || found == nullptr) return error != 0 ? HostErrorCode(error) : 11004;
  *hostOrder = ntohl(reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr.s_addr);
  ::freeaddrinfo(found);
  return 0;
}

}  // namespace dovrel::platform
