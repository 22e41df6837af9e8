#include "control/server_name_check.h"

#include "base/ansi_text.h"
#include "net/resolve.h"

namespace dovrel::entry {

const char* ResolutionErrorText(int code) {
  switch (code) {
    case 10014:
      return "The name parameter is not a valid part of the user address space";
    case 10036:
      return "A blocking Windows Sockets 1.1 call is in progress, or the service provider is "
             "still processing a callback function";
    case 10050:
      return "The network subsystem has failed";
    case 10093:
      return "A successful WSAStartup call must occur before using this function";
    case 11001:
      return "Authoritative answer host not found";
    case 11002:
      return "Nonauthoritative host not found, or server failure";
    case 11003:
      return "A nonrecoverable error occurred";
    case 11004:
      return "Valid name, no data record of requested type";
    default:
      return "The name could not be resolved";
  }
}

int ResolveServerAddress(const char* name, char* text, std::size_t capacity) {
  const int code = ResolveServerName(name, text, capacity);
  if (code != 0) CopyAnsiText(text, capacity, ResolutionErrorText(code));
  return code;
}

}  // namespace dovrel::entry
