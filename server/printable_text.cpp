#include "server/printable_text.h"

namespace dovrel::server {

std::string PrintableText(std::string_view text, std::size_t limit) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    std::string piece;
    if (c == '\\') {
      piece = "\\\\";
    } else if (byte >= 0x20 && byte < 0x7f) {
      piece = std::string(1, c);
    } else {
      piece = {'\\', 'x', kHex[byte >> 4], kHex[byte & 0x0F]};
    }
    if (out.size() + piece.size() > limit) return out + "...";
    out += piece;
  }
  return out;
}

}  // namespace dovrel::server
