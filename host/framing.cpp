#include "host/framing.h"

#include <cstring>

namespace dovrel::host {
namespace {

// Reads exactly `size` bytes; the count read before the input ended otherwise.
std::size_t ReadFully(ByteReader& in, char* buffer, std::size_t size) {
  std::size_t total = 0;
  while (total < size) {
    const std::size_t got = in.Read(buffer + total, size - total);
    if (got == 0) break;
    total += got;
  }
  return total;
}

}  // namespace

ReadResult ReadFrame(ByteReader& in, std::string* body) {
  std::uint32_t length = 0;
  char head[sizeof length];
  const std::size_t headRead = ReadFully(in, head, sizeof head);
  if (headRead == 0) return ReadResult::kEnd;
  if (headRead < sizeof head) return ReadResult::kBroken;
  std::memcpy(&length, head, sizeof length);
  if (length > kMaxIncoming) return ReadResult::kTooLarge;
  body->assign(length, '\0');
  if (ReadFully(in, body->data(), length) < length) return ReadResult::kBroken;
  return ReadResult::kMessage;
}

std::string MakeFrame(std::string_view body) {
  if (body.size() > kMaxOutgoing) return {};
  const auto length = static_cast<std::uint32_t>(body.size());
  std::string frame(sizeof length, '\0');
  std::memcpy(frame.data(), &length, sizeof length);
  frame.append(body);
  return frame;
}

}  // namespace dovrel::host
