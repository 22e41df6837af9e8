#pragma once
// Client bytes made safe for a line that people and scripts read: printable
// ASCII stays, a backslash is doubled, every other byte is written "\xNN".

#include <cstddef>
#include <string>
#include <string_view>

namespace dovrel::server {

// At most `limit` characters of the escaped text, followed by "..." when
// the text was cut.
std::string PrintableText(std::string_view text, std::size_t limit);

}  // namespace dovrel::server
