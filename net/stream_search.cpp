#include "net/stream_search.h"

#include <cstring>

namespace dovrel {

StreamSearch::StreamSearch(std::string_view pattern) {
  length_ = pattern.size() < kMaxPattern ? pattern.size() : kMaxPattern;
  std::memcpy(pattern_, pattern.data(), length_);
  if (length_ == 0) {
    found_ = true;
    return;
  }
  fallback_[0] = 0;
  std::size_t border = 0;
  for (std::size_t i = 1; i < length_; ++i) {
    while (border > 0 && pattern_[i] != pattern_[border]) border = fallback_[border - 1];
    if (pattern_[i] == pattern_[border]) ++border;
    fallback_[i] = static_cast<unsigned char>(border);
  }
}

std::size_t StreamSearch::Find(const char* text, std::size_t length) {
  if (found_) return kNotHere;
  std::size_t i = 0;
  while (i < length) {
    if (matched_ == 0) {
      // Nothing under way: skip straight to the next possible start.
      const void* next = std::memchr(text + i, pattern_[0], length - i);
      if (next == nullptr) return kNotHere;
      i = static_cast<std::size_t>(static_cast<const char*>(next) - text);
    }
    const char c = text[i++];
    while (matched_ > 0 && c != pattern_[matched_]) matched_ = fallback_[matched_ - 1];
    if (c == pattern_[matched_]) ++matched_;
    if (matched_ == length_) {
      found_ = true;
      return i;
    }
  }
  return kNotHere;
}

}  // namespace dovrel
