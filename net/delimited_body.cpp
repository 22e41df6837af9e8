#include "net/delimited_body.h"

#include <algorithm>

namespace dovrel {

DelimitedBody::DelimitedBody(std::string_view opening, std::string_view closing, Closing where)
    : opening_(opening), closing_(closing), where_(where) {}

DelimitedBody::Runs DelimitedBody::Read(const char* piece, std::size_t length) {
  if (closing_.Found()) return {};
  if (!opening_.Found()) {
    std::size_t at = opening_.Find(piece, length);
    if (at == StreamSearch::kNotHere) {
      if (where_ == Closing::kAfterOpening) return {};
    } else {
      if (where_ == Closing::kAfterOpening) {
        piece += at;
        length -= at;
        at = 0;
      }
      start_ = handed_ = position_ + at;
    }
  }
  // Positions count from the first byte the closing tag was looked for in.
  const std::uint64_t pieceStart = position_;
  const std::size_t held = closing_.Pending();  // they lie just before this piece
  const std::size_t at = closing_.Find(piece, length);
  position_ += length;
  std::uint64_t end = position_ - closing_.Pending();
  if (at != StreamSearch::kNotHere) {
    end = pieceStart + at - closing_.Pattern().size();
    if (!opening_.Found() || end < start_) {
      outOfOrder_ = true;
      return {};
    }
  }
  if (!opening_.Found() || end <= handed_) return {};
  Runs runs;
  // Held bytes are the closing tag's own first bytes.
  if (handed_ < pieceStart) {
    const auto skip = static_cast<std::size_t>(handed_ - (pieceStart - held));
    const auto count = static_cast<std::size_t>(std::min(end, pieceStart) - handed_);
    runs[0] = closing_.Pattern().substr(skip, count);
    handed_ += count;
  }
  if (end > handed_) {
    runs[1] = {piece + (handed_ - pieceStart), static_cast<std::size_t>(end - handed_)};
    handed_ = end;
  }
  return runs;
}

}  // namespace dovrel
