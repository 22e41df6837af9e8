#include "session/pem_body.h"

#include <string_view>

namespace dovrel {

bool FindEncryptedDataBody(const char* text, std::size_t length, TextSpan* body) {
  if (text == nullptr || body == nullptr) return false;
  std::string_view all(text, length);
  std::size_t begin = all.find(kEncryptedDataBegin);
  std::size_t end = all.find(kEncryptedDataEnd);
  if (begin == std::string_view::npos || end == std::string_view::npos) return false;
  std::size_t start = begin + sizeof kEncryptedDataBegin - 1;
  if (end < start) return false;
  body->offset = start;
  body->length = end - start;
  return true;
}

std::size_t DropControlCharacters(const char* source, std::size_t length, char* out) {
  std::size_t count = 0;
  for (std::size_t i = 0; i < length; ++i) {
    unsigned char c = static_cast<unsigned char>(source[i]);
    if (c < 0x20 || c == 0x7F) continue;
    out[count++] = source[i];
  }
  return count;
}

}  // namespace dovrel
