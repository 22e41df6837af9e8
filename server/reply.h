#pragma once
// A reply document being built: its elements in order, each a text or a
// streamed body whose length is known before its first byte is made.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace dovrel::server {

class BodyStream {
 public:
  virtual ~BodyStream() = default;
  virtual std::uint64_t Length() const = 0;
  // Up to `capacity` bytes of the text: the count, 0 at the end, -1 when the
  // text cannot be completed (the reply is then cut off).
  virtual std::ptrdiff_t Read(char* out, std::size_t capacity) = 0;
  // Why Read failed.
  virtual std::string Error() const = 0;
};

struct ReplyElement {
  std::string name;
  std::string value;
  std::unique_ptr<BodyStream> body;  // when set, it is the value
  bool unterminated = false;         // sent without its closing tag (a fault)
  bool zeroBefore = false;           // a zero byte sent before its opening tag (a fault)
};

struct Reply {
  std::vector<ReplyElement> elements;

  Reply& Add(std::string name, std::string value);
  Reply& AddBody(std::string name, std::unique_ptr<BodyStream> body);
  ReplyElement* Find(const std::string& name);

  std::uint64_t Length() const;  // the whole document's bytes
};

// A failure reply: RESULT_CODE and RESULT_MSG.
Reply FailureReply(const char* code, std::string message);

// Produces the document's bytes in order: header, root, elements, closing root.
class ReplyReader {
 public:
  explicit ReplyReader(Reply* reply);
  // As BodyStream::Read.
  std::ptrdiff_t Read(char* out, std::size_t capacity);
  std::string Error() const { return error_; }

 private:
  bool NextPiece();

  Reply* reply_;
  std::size_t element_ = 0;
  int step_ = 0;  // within the current element: open tag, value, close tag
  std::string piece_;
  std::size_t pieceOffset_ = 0;
  BodyStream* body_ = nullptr;
  bool finished_ = false;
  std::string error_;
};

}  // namespace dovrel::server
