#pragma once
// Percent-encoding for the values of the server's "&"-joined texts.

#include <string>
#include <string_view>

namespace dovrel::server {

// Every byte but the unreserved characters (letters, digits, "-", ".", "_",
// "~") becomes "%XY" with upper-case hexadecimal digits. The client decodes
// "+" as a blank, so "+" itself must be encoded too.
std::string UrlEncode(std::string_view text);

}  // namespace dovrel::server
