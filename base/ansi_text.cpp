#include "base/ansi_text.h"

#include <cstring>

#include "base/ascii.h"

namespace dovrel {
namespace {

// The byte length of the character at `at`: 2 for a lead byte with a byte after it.
std::size_t CharacterLength(std::string_view text, std::size_t at, LeadBytePredicate isLead) {
  const auto byte = static_cast<unsigned char>(text[at]);
  return isLead(byte) && at + 1 < text.size() ? 2 : 1;
}

}  // namespace

bool IsCp949LeadByte(unsigned char byte) { return byte >= 0x81 && byte <= 0xFE; }

std::string CutAnsiText(std::string_view text, std::size_t limit, LeadBytePredicate isLead) {
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t next = at + CharacterLength(text, at, isLead);
    if (next > limit) break;
    at = next;
  }
  return std::string(text.substr(0, at));
}

void CopyAnsiText(char* destination, std::size_t capacity, const char* source) {
  if (destination == nullptr || capacity == 0) return;
  const std::string text =
      source != nullptr ? CutAnsiText(source, capacity - 1, IsCp949LeadByte) : std::string();
  std::memcpy(destination, text.data(), text.size());
  destination[text.size()] = '\0';
}

bool EqualIgnoringCase(std::string_view a, std::string_view b, LeadBytePredicate isLead) {
  if (a.size() != b.size()) return false;
  std::size_t at = 0;
  while (at < a.size()) {
    const std::size_t length = CharacterLength(a, at, isLead);
    if (length == 2) {
      if (a.substr(at, 2) != b.substr(at, 2)) return false;
    } else if (FoldAsciiCase(a[at]) != FoldAsciiCase(b[at])) {
      return false;
    }
    at += length;
  }
  return true;
}

}  // namespace dovrel
