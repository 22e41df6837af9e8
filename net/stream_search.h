#pragma once
// Finds the first occurrence of a short fixed pattern in text that arrives in
// pieces, remembering across pieces how much of the pattern has been seen.

#include <cstddef>
#include <string_view>

namespace dovrel {

class StreamSearch {
 public:
  static constexpr std::size_t kMaxPattern = 48;
  static constexpr std::size_t kNotHere = static_cast<std::size_t>(-1);

  explicit StreamSearch(std::string_view pattern);

  // Reads text[0, length) up to the end of the first occurrence: the offset
  // just past it within this piece, or kNotHere. Once found, reads nothing.
  std::size_t Find(const char* text, std::size_t length);
  bool Found() const { return found_; }
  // How many of the last bytes read match the start of the pattern: an
  // occurrence still to come cannot begin before them. Those bytes are the
  // pattern's first Pending() bytes.
  std::size_t Pending() const { return matched_; }
  std::string_view Pattern() const { return {pattern_, length_}; }

 private:
  char pattern_[kMaxPattern];
  unsigned char fallback_[kMaxPattern];  // the longest proper border of each prefix
  std::size_t length_ = 0;
  std::size_t matched_ = 0;
  bool found_ = false;
};

}  // namespace dovrel
