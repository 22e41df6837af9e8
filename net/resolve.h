#pragma once
// Turns the configured server name into the dotted IPv4 text that every
// Exchange and file fetch is given: a dotted address stays as it is, a host
// name is looked up (the first IPv4 address counts).

#include <cstddef>
#include <cstdint>

namespace dovrel {

inline constexpr int kHostNotFound = 11001;    // WSAHOST_NOT_FOUND
inline constexpr int kNameNoRecovery = 11003;  // WSANO_RECOVERY

// 0 with the dotted text, or the Windows Sockets error code of the failed
// look-up (an empty name is not found; a text that does not fit is 11003).
int ResolveServerName(const char* name, char* dotted, std::size_t capacity);

namespace platform {
// 0 with the host's first IPv4 address, or the Windows Sockets error code of
// the failed look-up (elsewhere the resolver's error mapped onto those codes:
// 11001 for an unknown name, 11002 for a server failure, 11003, 11004).
int LookUpHostIPv4(const char* name, std::uint32_t* hostOrder);
}  // namespace platform

}  // namespace dovrel
