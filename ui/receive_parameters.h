#pragma once
// What one receive session works with. A plain record copied by value at every
// hand-off; it holds no pointers. All texts are zero-terminated ANSI texts.

#include <cstddef>
#include <cstring>
#include <string>

namespace dovrel {

inline constexpr std::size_t kFolderTextSize = 260;  // paths, terminating zero included
inline constexpr std::size_t kShortTextSize = 128;   // date, server address, user id

struct ReceiveParameters {
  char receiveFolder[kFolderTextSize] = {};
  char searchDate[kShortTextSize] = {};     // normally YYYYMMDD
  char serverAddress[kShortTextSize] = {};  // dotted IPv4, never a host name
  int serverPort = 0;
  char userId[kShortTextSize] = {};
};

// A field's text up to its terminating zero, or its whole capacity less one
// when the zero is missing.
template <std::size_t N>
std::string FieldText(const char (&field)[N]) {
  const void* end = std::memchr(field, '\0', N - 1);
  return std::string(field, end ? static_cast<const char*>(end) - field : N - 1);
}

// Copies `text` into a field, cut to its capacity, zero-filling the rest.
template <std::size_t N>
void SetFieldText(char (&field)[N], const std::string& text) {
  const std::size_t length = text.size() < N - 1 ? text.size() : N - 1;
  std::memset(field, 0, N);
  std::memcpy(field, text.data(), length);
}

}  // namespace dovrel
