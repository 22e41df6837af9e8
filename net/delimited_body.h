#pragma once
// The text between an opening tag and the first closing tag, taken from text
// that arrives in pieces and handed on as it arrives. The last bytes of a
// piece that may begin the closing tag are held back; when the next piece
// shows they do not, they are handed on then, ahead of that piece's bytes.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "net/stream_search.h"

namespace dovrel {

class DelimitedBody {
 public:
  enum class Closing {
    kAfterOpening,  // the closing tag is looked for only after the opening one
    kAnywhere,      // looked for from the text's start: one before the body fails it
  };
  // The body's bytes that one piece makes certain, in order: the held bytes
  // that turned out not to be the closing tag, then this piece's own. Either
  // may be empty.
  using Runs = std::array<std::string_view, 2>;

  DelimitedBody(std::string_view opening, std::string_view closing, Closing where);

  // Reads the next piece. After the closing tag nothing more is read.
  Runs Read(const char* piece, std::size_t length);

  // The closing tag has been read (with kAnywhere, perhaps out of order).
  bool Closed() const { return closing_.Found(); }
  // With kAnywhere: the closing tag began before the body did, or came
  // without an opening tag before it.
  bool OutOfOrder() const { return outOfOrder_; }

 private:
  StreamSearch opening_;
  StreamSearch closing_;
  Closing where_;
  std::uint64_t position_ = 0;  // text bytes the closing tag was looked for in
  std::uint64_t start_ = 0;     // the body's first byte, once opened
  std::uint64_t handed_ = 0;    // the body before this has been handed on
  bool outOfOrder_ = false;
};

}  // namespace dovrel
