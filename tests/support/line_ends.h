#pragma once
// Text files are stored with CR LF line ends: what a received copy of one
// holds, from the bytes the server sends.

#include <string>

namespace dovrel::test {

inline std::string WithCrLf(const std::string& bytes) {
  std::string converted;
  for (char c : bytes) converted += c == '\n' ? std::string("\r\n") : std::string(1, c);
  return converted;
}

}  // namespace dovrel::test
