#include "net/resolve.h"

#include <cstdio>

#include "net/socket.h"

namespace dovrel {

int ResolveServerName(const char* name, char* dotted, std::size_t capacity) {
  if (name == nullptr || *name == '\0') return kHostNotFound;
  std::uint32_t address = 0;
  if (!ParseIPv4(name, &address)) {
    if (const int code = platform::LookUpHostIPv4(name, &address); code != 0) return code;
  }
  if (dotted == nullptr || capacity == 0) return kNameNoRecovery;
  int n = std::snprintf(dotted, capacity, "%u.%u.%u.%u", address >> 24, (address >> 16) & 0xFF,
                        (address >> 8) & 0xFF, address & 0xFF);
  return n > 0 && static_cast<std::size_t>(n) < capacity ? 0 : kNameNoRecovery;
}

}  // namespace dovrel
