#include "control/ansi_text.h"

#include <cstring>

namespace dovrel {
namespace {

bool IsLeadByte(unsigned char c) { return c >= 0x81 && c <= 0xFE; }

}  // namespace

std::size_t AnsiCutLength(const char* text, std::size_t limit) {
  std::size_t at = 0;
  while (at < limit && text[at] != '\0') {
    // A lead byte followed by the terminator stands alone (a damaged text).
    const std::size_t width =
        IsLeadByte(static_cast<unsigned char>(text[at])) && text[at + 1] != '\0' ? 2 : 1;
    if (at + width > limit) break;
    at += width;
  }
  return at;
}

void CopyAnsiText(char* destination, std::size_t capacity, const char* source) {
  if (destination == nullptr || capacity == 0) return;
  const std::size_t length = source != nullptr ? AnsiCutLength(source, capacity - 1) : 0;
  if (length > 0) std::memcpy(destination, source, length);
  destination[length] = '\0';
}

}  // namespace dovrel
