#pragma once
// What the server was asked: one record per request, for tests and
// diagnosis. Bounded: the oldest records go first.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace dovrel::server {

struct RequestRecord {
  std::string service;  // SERVICE_CODE, empty when the request had none
  std::vector<std::pair<std::string, std::string>> elements;  // in order, texts as sent
  bool receiptMarker = false;  // the client sent "@@@@" after the reply

  // The first element of that name; empty when there is none.
  std::string Element(std::string_view name) const;
  bool Has(std::string_view name) const;
};

// The elements of a request document, in order: each "<NAME>text</NAME>"
// inside the root. Stops at anything else.
std::vector<std::pair<std::string, std::string>> ListElements(std::string_view document);

class RequestLog {
 public:
  explicit RequestLog(std::size_t capacity = 4096) : capacity_(capacity) {}

  std::uint64_t Add(RequestRecord record);  // its number
  void MarkReceipt(std::uint64_t number);
  std::vector<RequestRecord> Records() const;
  void Clear();

 private:
  const std::size_t capacity_;
  mutable std::mutex mutex_;
  std::deque<RequestRecord> records_;
  std::uint64_t firstNumber_ = 0;
};

}  // namespace dovrel::server
