#pragma once
// The session's check of the server name before any window opens: the dotted
// address to connect to, or the reason the name cannot be resolved, as the
// text that the failure box shows.

#include <cstddef>

namespace dovrel::entry {

// 0 with the dotted IPv4 text of the host's first address in `text`, or the
// Windows Sockets error code of the failed look-up with its reason in `text`.
int ResolveServerAddress(const char* name, char* text, std::size_t capacity);

// The reason shown for a look-up error code.
const char* ResolutionErrorText(int code);

}  // namespace dovrel::entry
