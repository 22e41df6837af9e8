#include "pkcs7/fingerprint.h"

namespace dovrel {
namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

bool ParseFingerprint(std::string_view text, Fingerprint* fingerprint) {
  const std::size_t size = fingerprint->size();
  const bool separated = text.find(':') != std::string_view::npos;
  const std::size_t step = separated ? 3 : 2;
  if (text.size() != (separated ? size * 3 - 1 : size * 2)) return false;
  Fingerprint parsed{};
  for (std::size_t i = 0; i < size; ++i) {
    const std::size_t at = i * step;
    const int high = HexValue(text[at]);
    const int low = HexValue(text[at + 1]);
    if (high < 0 || low < 0 || (separated && i + 1 < size && text[at + 2] != ':')) return false;
    parsed[i] = static_cast<unsigned char>(high * 16 + low);
  }
  *fingerprint = parsed;
  return true;
}

std::string FormatFingerprint(const Fingerprint& fingerprint) {
  std::string text;
  for (unsigned char byte : fingerprint) {
    if (!text.empty()) text += ':';
    text += kHexDigits[byte >> 4];
    text += kHexDigits[byte & 15];
  }
  return text;
}

}  // namespace dovrel
