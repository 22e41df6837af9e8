#pragma once
// ASCII letter case and white space, byte by byte, whatever the locale. Bytes
// from 0x80 up are never changed; in a double-byte text a trail byte may still
// look like an ASCII letter, so a comparison that must keep whole characters
// uses EqualIgnoringCase of base/ansi_text.h instead.

#include <cstddef>
#include <string>
#include <string_view>

namespace dovrel {

// 'A' to 'Z' become 'a' to 'z'; every other byte stays.
constexpr char FoldAsciiCase(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// 'a' to 'z' become 'A' to 'Z'; every other byte stays.
constexpr char UpperAsciiCase(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

inline std::string UpperAsciiText(std::string_view text) {
  std::string upper(text);
  for (char& c : upper) c = UpperAsciiCase(c);
  return upper;
}

// Equal byte by byte once ASCII letters are folded.
inline bool EqualIgnoringAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (FoldAsciiCase(a[i]) != FoldAsciiCase(b[i])) return false;
  }
  return true;
}

inline bool StartsWithIgnoringAsciiCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() &&
         EqualIgnoringAsciiCase(text.substr(0, prefix.size()), prefix);
}

// White space as the C locale has it: blank, tab, line feed, carriage return,
// form feed and vertical tab.
constexpr bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

}  // namespace dovrel
