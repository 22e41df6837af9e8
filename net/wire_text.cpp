#include "net/wire_text.h"

#include <cstddef>

namespace dovrel {
namespace {

class IdentityText final : public WireText {
 public:
  bool ToUtf8(std::string_view wire, std::string* out) const override {
    out->assign(wire.data(), wire.size());
    return true;
  }
  bool FromUtf8(std::string_view utf8, std::string* out) const override {
    out->assign(utf8.data(), utf8.size());
    return true;
  }
};

// No supported encoding has characters longer than four bytes.
constexpr std::size_t kLongestCharacter = 4;

}  // namespace

const WireText& IdentityWireText() {
  static const IdentityText codec;
  return codec;
}

std::string WireToUtf8(const WireText& codec, std::string_view wire) {
  std::string whole;
  if (codec.ToUtf8(wire, &whole)) return whole;

  // Something in the text does not convert: take the shortest piece that does
  // at each position, and mark a byte that starts no such piece with "?".
  std::string result;
  std::string piece;
  std::size_t at = 0;
  while (at < wire.size()) {
    bool converted = false;
    for (std::size_t length = 1; length <= kLongestCharacter && at + length <= wire.size();
         ++length) {
      if (codec.ToUtf8(wire.substr(at, length), &piece)) {
        result += piece;
        at += length;
        converted = true;
        break;
      }
    }
    if (!converted) {
      result += '?';
      ++at;
    }
  }
  return result;
}

}  // namespace dovrel
