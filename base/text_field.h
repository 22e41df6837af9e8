#pragma once
// Reading and writing the fixed text fields of the shared records: buffers
// whose size includes the terminating zero.

#include <cstddef>
#include <cstring>
#include <string>

namespace dovrel {

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
