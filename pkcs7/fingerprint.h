#pragma once
// A SHA-256 fingerprint of a certificate or public key, and its text forms.

#include <array>
#include <string>
#include <string_view>

namespace dovrel {

using Fingerprint = std::array<unsigned char, 32>;

// 64 hexadecimal digits in either case, or 32 pairs with ':' between them.
bool ParseFingerprint(std::string_view text, Fingerprint* fingerprint);

// Upper-case pairs with ':' between them, as the server prints them.
std::string FormatFingerprint(const Fingerprint& fingerprint);

}  // namespace dovrel
