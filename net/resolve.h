#pragma once
// Turns the configured server name into the dotted IPv4 text that every
// Exchange and file fetch is given: a dotted address stays as it is, a host
// name is looked up (the first IPv4 address counts).

#include <cstddef>
#include <cstdint>

namespace dovrel {

// False when the name cannot be resolved or the text does not fit.
bool ResolveServerAddress(const char* name, char* dotted, std::size_t capacity);

namespace platform {
bool LookUpIPv4(const char* name, std::uint32_t* hostOrder);
}

}  // namespace dovrel
