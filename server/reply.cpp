#include "server/reply.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "net/message.h"
#include "server/result_codes.h"

namespace dovrel::server {
namespace {

std::string OpenTag(const std::string& name) { return "<" + name + ">"; }
std::string CloseTag(const std::string& name) { return "</" + name + ">"; }

std::string DocumentStart() { return std::string(kMessageHeader) + "<" + kMessageRoot + ">"; }
std::string DocumentEnd() { return std::string("</") + kMessageRoot + ">"; }

}  // namespace

Reply& Reply::Add(std::string name, std::string value) {
  elements.push_back(ReplyElement{std::move(name), std::move(value), nullptr, false});
  return *this;
}

Reply& Reply::AddBody(std::string name, std::unique_ptr<BodyStream> body) {
  elements.push_back(ReplyElement{std::move(name), std::string(), std::move(body), false});
  return *this;
}

ReplyElement* Reply::Find(const std::string& name) {
  for (ReplyElement& element : elements) {
    if (element.name == name) return &element;
  }
  return nullptr;
}

std::uint64_t Reply::Length() const {
  std::uint64_t length = DocumentStart().size() + DocumentEnd().size();
  for (const ReplyElement& element : elements) {
    length += element.unterminated ? element.name.size() + 2 : 2 * element.name.size() + 5;
    length += element.zeroBefore ? 1 : 0;
    length += element.body ? element.body->Length() : element.value.size();
  }
  return length;
}

Reply FailureReply(const char* code, std::string message) {
  Reply reply;
  reply.Add("RESULT_CODE", code).Add("RESULT_MSG", std::move(message));
  return reply;
}

ReplyReader::ReplyReader(Reply* reply) : reply_(reply), piece_(DocumentStart()) {}

bool ReplyReader::NextPiece() {
  piece_.clear();
  pieceOffset_ = 0;
  body_ = nullptr;
  while (element_ < reply_->elements.size()) {
    ReplyElement& element = reply_->elements[element_];
    switch (step_++) {
      case 0:
        piece_ =
            (element.zeroBefore ? std::string(1, '\0') : std::string()) + OpenTag(element.name);
        return true;
      case 1:
        if (element.body) {
          body_ = element.body.get();
          return true;
        }
        piece_ = element.value;
        if (!piece_.empty()) return true;
        break;
      default:
        piece_ = element.unterminated ? std::string() : CloseTag(element.name);
        ++element_;
        step_ = 0;
        if (!piece_.empty()) return true;
        break;
    }
  }
  if (finished_) return false;
  finished_ = true;
  piece_ = DocumentEnd();
  return true;
}

std::ptrdiff_t ReplyReader::Read(char* out, std::size_t capacity) {
  std::size_t written = 0;
  while (written < capacity) {
    if (body_ != nullptr) {
      const std::ptrdiff_t n = body_->Read(out + written, capacity - written);
      if (n < 0) {
        error_ = body_->Error();
        return -1;
      }
      if (n > 0) {
        written += static_cast<std::size_t>(n);
        continue;
      }
      body_ = nullptr;
      if (!NextPiece()) break;
      continue;
    }
    if (pieceOffset_ == piece_.size()) {
      if (!NextPiece()) break;
      continue;
    }
    const std::size_t n = std::min(capacity - written, piece_.size() - pieceOffset_);
    std::memcpy(out + written, piece_.data() + pieceOffset_, n);
    pieceOffset_ += n;
    written += n;
  }
  return static_cast<std::ptrdiff_t>(written);
}

}  // namespace dovrel::server
