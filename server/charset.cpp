#include "server/charset.h"

#include <cerrno>

namespace dovrel::server {

TextConverter::TextConverter(const char* toCharset, const char* fromCharset)
    : handle_(iconv_open(toCharset, fromCharset)) {}

TextConverter::~TextConverter() {
  if (Valid()) iconv_close(handle_);
}

std::optional<std::string> TextConverter::Convert(std::string_view text) {
  if (!Valid()) return std::nullopt;
  iconv(handle_, nullptr, nullptr, nullptr, nullptr);  // back to the initial state
  std::string out;
  // UTF-8 and CP949 take at most 3 and 2 bytes a character: room for the
  // larger one plus the shift sequences of stateful code pages.
  out.resize(text.size() * 4 + 16);
  char* in = const_cast<char*>(text.data());
  std::size_t inLeft = text.size();
  char* outPos = out.data();
  std::size_t outLeft = out.size();
  while (inLeft > 0) {
    if (iconv(handle_, &in, &inLeft, &outPos, &outLeft) == static_cast<std::size_t>(-1)) {
      if (errno != E2BIG) return std::nullopt;  // EILSEQ, EINVAL: no counterpart
      const std::size_t used = out.size() - outLeft;
      out.resize(out.size() * 2);
      outPos = out.data() + used;
      outLeft = out.size() - used;
    }
  }
  if (iconv(handle_, nullptr, nullptr, &outPos, &outLeft) == static_cast<std::size_t>(-1)) {
    return std::nullopt;
  }
  out.resize(out.size() - outLeft);
  return out;
}

bool IsSupportedWireCharset(const std::string& wireCharset) {
  TextConverter toWire(wireCharset.c_str(), kFileSystemCharset);
  TextConverter fromWire(kFileSystemCharset, wireCharset.c_str());
  return toWire.Valid() && fromWire.Valid();
}

}  // namespace dovrel::server
