#include "pkcs7/ber_reader.h"

#include <algorithm>

namespace dovrel {
namespace {

constexpr unsigned char kConstructed = 0x20;
constexpr unsigned char kLongTag = 0x1F;
constexpr unsigned char kIndefiniteLength = 0x80;
constexpr unsigned char kLongestLength = 0x88;  // eight length octets
constexpr std::uint64_t kLengthLimit = std::uint64_t{1} << 62;

}  // namespace

// Only the short tag form occurs in the syntaxes read here; lengths of up to
// eight octets are read.
std::size_t BerReader::ReadHeader(const unsigned char* bytes, std::size_t length, Status* status) {
  std::size_t used = 0;
  *status = Status::kMore;
  while (used < length) {
    headerBytes_[headerHave_++] = bytes[used++];
    if (headerHave_ == 1) {
      if ((headerBytes_[0] & kLongTag) == kLongTag) {
        *status = Status::kMalformed;
        return used;
      }
      continue;
    }
    const unsigned char first = headerBytes_[1];
    if (first > kLongestLength) {
      *status = Status::kMalformed;
      return used;
    }
    const std::size_t need = first <= kIndefiniteLength ? 2 : 2 + std::size_t{first & 0x7Fu};
    if (headerHave_ < need) continue;
    header_ = Header{};
    header_.identifier = headerBytes_[0];
    header_.indefinite = first == kIndefiniteLength;
    if (first < kIndefiniteLength) header_.length = first;
    for (std::size_t i = 2; i < need; ++i) header_.length = header_.length << 8 | headerBytes_[i];
    headerHave_ = 0;
    const std::uint64_t after = position_ + used;
    if (header_.length > kLengthLimit || !Encloses(after)) {
      *status = Status::kMalformed;
      return used;
    }
    headerEnd_ = after;
    *status = Status::kComplete;
    return used;
  }
  return used;
}

// The header just read, and a definite content, must lie inside every
// enclosing definite length.
bool BerReader::Encloses(std::uint64_t after) const {
  for (int i = depth_ - 1; i >= 0; --i) {
    if (frames_[i].indefinite) continue;
    // Inner definite ends lie inside the outer ones: the innermost decides.
    return after <= frames_[i].end &&
           (header_.indefinite || header_.length <= frames_[i].end - after);
  }
  return true;
}

std::size_t BerReader::ReadElement(const unsigned char* bytes, std::size_t length, Status* status) {
  std::size_t used = 0;
  *status = Status::kMore;
  if (!elementStarted_) {
    const std::size_t before = headerHave_;
    used = ReadHeader(bytes, length, status);
    if (*status != Status::kComplete) return used;
    const std::size_t headerLength = before + used;
    if (header_.indefinite || header_.length > kElementWindow - headerLength) {
      *status = Status::kMalformed;  // far larger than any element read whole
      return used;
    }
    std::copy(headerBytes_, headerBytes_ + headerLength, element_);
    elementHave_ = headerLength;
    elementSize_ = headerLength + static_cast<std::size_t>(header_.length);
    elementStarted_ = true;
    *status = Status::kMore;
  }
  const std::size_t take = std::min(elementSize_ - elementHave_, length - used);
  std::copy(bytes + used, bytes + used + take, element_ + elementHave_);
  elementHave_ += take;
  used += take;
  if (elementHave_ == elementSize_) {
    elementStarted_ = false;
    *status = Status::kComplete;
  }
  return used;
}

bool BerReader::Is(unsigned char identifier, bool allowIndefinite) const {
  const bool constructed = (identifier & kConstructed) != 0;
  return header_.identifier == identifier &&
         (!header_.indefinite || (allowIndefinite && constructed));
}

bool BerReader::IsEndOfContents() const {
  return InIndefinite() && header_.identifier == 0 && !header_.indefinite && header_.length == 0;
}

bool BerReader::Open() {
  if (depth_ == kMaxFrames) return false;
  frames_[depth_++] =
      Frame{header_.indefinite, header_.indefinite ? 0 : headerEnd_ + header_.length};
  return true;
}

bool BerReader::AtFrameEnd() const {
  const Frame& frame = frames_[depth_ - 1];
  return !frame.indefinite && headerHave_ == 0 && position_ == frame.end;
}

}  // namespace dovrel
