#pragma once
// The browser's framing of native messages: a 32-bit length in the machine's
// own byte order, then that many bytes of UTF-8 JSON. What comes in is bounded
// small (a request is a few hundred bytes); what goes out is bounded by what
// the browser takes.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace dovrel::host {

inline constexpr std::size_t kMaxIncoming = 64 * 1024;
inline constexpr std::size_t kMaxOutgoing = 1000000;

class ByteReader {
 public:
  virtual ~ByteReader() = default;
  // Up to `size` bytes into `buffer`; 0 only at the end of the input.
  virtual std::size_t Read(char* buffer, std::size_t size) = 0;
};

enum class ReadResult {
  kMessage,   // `body` holds one message
  kEnd,       // the input ended between messages
  kTooLarge,  // the length is over kMaxIncoming: the stream cannot be resynchronised
  kBroken,    // the input ended inside a message
};

ReadResult ReadFrame(ByteReader& in, std::string* body);

// The length and the body as one block; empty when the body is over kMaxOutgoing.
std::string MakeFrame(std::string_view body);

}  // namespace dovrel::host
