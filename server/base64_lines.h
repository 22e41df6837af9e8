#pragma once
// Base64 in the PEM layout: lines of 64 characters, each ended by a line
// feed, the last one too. Incremental, so a body of any size can be encoded
// piece by piece as it is sent.

#include <cstddef>
#include <cstdint>

namespace dovrel::server {

inline constexpr std::size_t kBase64LineLength = 64;

// The length of the text for `bytes` input bytes, line feeds included.
std::uint64_t Base64LinesLength(std::uint64_t bytes);

class Base64LineEncoder {
 public:
  // The most that one Encode of `length` bytes, or Finish, can write.
  static std::size_t MaxOutput(std::size_t length);

  // Writes the text of `data` that is complete so far; keeps up to two bytes
  // for the next call. Returns the characters written.
  std::size_t Encode(const unsigned char* data, std::size_t length, char* out);
  // The last group with its padding and the last line feed.
  std::size_t Finish(char* out);

 private:
  char* PutGroup(unsigned a, unsigned b, unsigned c, char* out);
  char* Put(char ch, char* out);

  unsigned char carry_[2] = {};
  std::size_t carried_ = 0;
  std::size_t column_ = 0;
};

}  // namespace dovrel::server
