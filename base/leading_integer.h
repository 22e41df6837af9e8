#pragma once
// A leading decimal integer the way the server's numbers are read: blanks, an
// optional sign, digits; the first other character ends it, and a text with no
// digits there reads as 0. The value saturates at the limits of T instead of
// overflowing. It is read a character at a time, so a text that arrives in
// pieces reads as the whole text does.

#include <cstddef>
#include <cstdint>
#include <limits>
#include <type_traits>

#include "base/ascii.h"

namespace dovrel {

template <typename T>
class LeadingInteger {
  static_assert(std::is_signed_v<T> && sizeof(T) <= sizeof(std::uint64_t));

 public:
  // Takes the next character; false once the number has ended, this
  // character and all after it being no part of it.
  bool Take(char c) {
    if (state_ == State::kBlanks) {
      if (IsBlank(c)) return true;
      state_ = State::kDigits;
      if (c == '+' || c == '-') {
        negative_ = c == '-';
        return true;
      }
    }
    if (state_ != State::kDigits || c < '0' || c > '9') {
      state_ = State::kEnded;
      return false;
    }
    const unsigned digit = static_cast<unsigned>(c - '0');
    const std::uint64_t limit = Limit();
    if (magnitude_ > (limit - digit) / 10) {
      magnitude_ = limit;  // saturated: no later digit can change it
      state_ = State::kEnded;
      return false;
    }
    magnitude_ = magnitude_ * 10 + digit;
    return true;
  }

  // Takes text[0, length) up to where the number ends; false once it has.
  bool Take(const char* text, std::size_t length) {
    for (std::size_t i = 0; i < length; ++i) {
      if (!Take(text[i])) return false;
    }
    return true;
  }

  T Value() const {
    if (!negative_ || magnitude_ == 0) return static_cast<T>(magnitude_);
    return static_cast<T>(-static_cast<T>(magnitude_ - 1) - 1);  // the lowest T too
  }

 private:
  enum class State { kBlanks, kDigits, kEnded };

  // The largest magnitude the sign allows: one more below zero.
  std::uint64_t Limit() const {
    const auto highest = static_cast<std::uint64_t>(std::numeric_limits<T>::max());
    return negative_ ? highest + 1 : highest;
  }

  State state_ = State::kBlanks;
  bool negative_ = false;
  std::uint64_t magnitude_ = 0;
};

// The leading integer of text[0, length); a zero byte ends the text too.
template <typename T>
T ParseLeading(const char* text, std::size_t length) {
  LeadingInteger<T> number;
  number.Take(text, length);
  return number.Value();
}

// The leading integer of a zero-terminated text; 0 for none.
template <typename T>
T ParseLeading(const char* text) {
  LeadingInteger<T> number;
  if (text != nullptr) {
    while (number.Take(*text)) ++text;
  }
  return number.Value();
}

}  // namespace dovrel
